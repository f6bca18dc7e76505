// The Windows build's ECDSA P-256 key files, in the PEM forms OpenSSL reads and writes, read
// and written through crypt32 (Windows' own DER and base64 codecs). signing_cng.cpp owns the
// keys; this module only turns them into text and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/signature.h"

constexpr size_t kScalarSize = 32;  // the private scalar, big-endian

struct EcPrivateKey {
  uint8_t scalar[kScalarSize] = {};
  PublicKey publicKey;
  EcPrivateKey() = default;
  EcPrivateKey(const EcPrivateKey&) = delete;
  EcPrivateKey& operator=(const EcPrivateKey&) = delete;
  ~EcPrivateKey();  // wipes the scalar
};

// Reads the first PEM block of `pem`: an unencrypted "PRIVATE KEY" or "EC PRIVATE KEY" of
// the P-256 curve that carries its public point, as OpenSSL writes every key. Returns "" and
// sets *key, or what is wrong, worded to follow the file's name ("is not ...").
// Raises only CMemoryException.
std::string DecodePrivateKeyPem(const std::string& pem, EcPrivateKey* key);

// The PEM texts OpenSSL writes for the key: a "PRIVATE KEY" block holding the curve's name,
// the scalar and the public point, and a "PUBLIC KEY" block. Raises PackError.
std::string EncodePrivateKeyPem(const EcPrivateKey& key);
std::string EncodePublicKeyPem(const PublicKey& key);
