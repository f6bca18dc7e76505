#include "platform/sha256.h"

#include <cstring>

bool Sha256Digest::operator==(const Sha256Digest& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

std::string Sha256Digest::Hex() const { return LowerHex(bytes, sizeof bytes); }

std::string LowerHex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

Sha256Digest Sha256Of(const void* data, size_t count) {
  Sha256 hash;
  hash.Update(data, count);
  return hash.Finish();
}
