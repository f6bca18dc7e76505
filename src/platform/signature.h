// ECDSA P-256 public keys and signature checks from the platform (CNG on Windows, OpenSSL's
// libcrypto natively): the core asks whether a signature of a digest is a key's, and never
// does the arithmetic, the base64 or the key decoding itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sha256.h"

constexpr size_t kPublicPointSize = 65;  // 04, then X and Y, 32 bytes each, big-endian
constexpr size_t kSignatureSize = 64;    // r then s, 32 bytes each, big-endian
constexpr size_t kKeyIdSize = 8;

// What a key's one-line text begins with, before one blank and the point in base64.
constexpr char kKeyTextTag[] = "ecdsa-p256";

// A short name for a public key, by which a signed update file names its signer.
struct KeyId {
  uint8_t bytes[kKeyIdSize] = {};
  bool operator==(const KeyId& other) const;
  bool operator!=(const KeyId& other) const { return !(*this == other); }
  // Lower-case hexadecimal, 16 characters.
  std::string Hex() const;
};

struct PublicKey {
  uint8_t point[kPublicPointSize] = {};

  // The first 8 bytes of the SHA-256 of `point`.
  KeyId Id() const;
  // The one-line text an installer records: kKeyTextTag, a blank, the point in base64.
  std::string Text() const;
};

// Reads a public key from its one-line text or from a PEM public key file's text (as OpenSSL
// writes it); blanks and line ends around it are ignored. Returns "" and sets *key, or says
// in a few words what is wrong. Raises only CMemoryException.
std::string ParsePublicKey(const std::string& text, PublicKey* key);

// Whether `signature` (kSignatureSize bytes) is a valid signature of `digest` by `key`.
// Raises only CMemoryException.
bool VerifySignature(const PublicKey& key, const Sha256Digest& digest, const uint8_t* signature);
