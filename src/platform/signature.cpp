// The rules every backend shares: key ids, the key's one-line text, and what a key must be.
#include "platform/signature.h"

#include <cstring>
#include <vector>

#include "platform/signature_backend.h"

bool KeyId::operator==(const KeyId& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

std::string KeyId::Hex() const { return LowerHex(bytes, sizeof bytes); }

KeyId PublicKey::Id() const {
  Sha256Digest digest = Sha256Of(point, sizeof point);
  KeyId id;
  std::memcpy(id.bytes, digest.bytes, sizeof id.bytes);
  return id;
}

std::string PublicKey::Text() const {
  return std::string(kKeyTextTag) + " " + EncodeBase64(point, sizeof point);
}

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::string ParsePublicKey(const std::string& text, PublicKey* key) {
  std::string trimmed = Trim(text);
  if (trimmed.empty()) return "it is empty";
  std::vector<uint8_t> point;
  if (trimmed.compare(0, 5, "-----") == 0) {
    std::string problem = DecodePemPublicKey(trimmed, &point);
    if (!problem.empty()) return problem;
  } else {
    std::string tag = std::string(kKeyTextTag) + " ";
    if (trimmed.compare(0, tag.size(), tag) != 0) {
      return "it does not begin with \"" + tag + "\"";
    }
    // Only the text updpack writes: a key that reads two ways would have two texts.
    std::string encoded = trimmed.substr(tag.size());
    if (!DecodeBase64(encoded, &point) || EncodeBase64(point.data(), point.size()) != encoded) {
      return "its base64 part is damaged";
    }
  }
  if (point.size() != kPublicPointSize || point[0] != 4) {
    return "it holds " + std::to_string(point.size()) +
           " bytes, not the 65 of an uncompressed P-256 public key";
  }
  PublicKey parsed;
  std::memcpy(parsed.point, point.data(), sizeof parsed.point);
  if (!IsUsableKey(parsed)) return "it is not a point on the P-256 curve";
  *key = parsed;
  return std::string();
}
