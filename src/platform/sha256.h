// SHA-256 from the platform (CNG on Windows, OpenSSL's libcrypto natively): the core
// hashes bytes through this and never computes a digest itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct Sha256Digest {
  uint8_t bytes[32] = {};
  bool operator==(const Sha256Digest& other) const;
  bool operator!=(const Sha256Digest& other) const { return !(*this == other); }
  // Lower-case hexadecimal, 64 characters.
  std::string Hex() const;
};

class Sha256 {
 public:
  // Raises CMemoryException when the platform cannot provide a hash object.
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, size_t count);
  // The digest of everything passed to Update. No Update may follow.
  Sha256Digest Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// `count` bytes as lower-case hexadecimal, two digits each.
std::string LowerHex(const uint8_t* bytes, size_t count);

// The digest of `count` bytes at `data`.
Sha256Digest Sha256Of(const void* data, size_t count);
