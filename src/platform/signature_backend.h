// What each platform backend (posix/signature_posix.cpp, win32/signature_win32.cpp) provides
// to signature.cpp, which holds the rules both share. Not for use outside src/platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/signature.h"

// Standard base64 with padding, on one line.
std::string EncodeBase64(const uint8_t* data, size_t count);

// Decodes base64 text. Returns false when the library refuses it.
bool DecodeBase64(const std::string& text, std::vector<uint8_t>* bytes);

// Decodes a PEM public key (SubjectPublicKeyInfo) into its encoded point. Returns "" or what
// is wrong; a key of another algorithm or curve is wrong.
std::string DecodePemPublicKey(const std::string& pem, std::vector<uint8_t>* point);

// Whether the crypto library takes `key` as a P-256 public key (a point on the curve).
bool IsUsableKey(const PublicKey& key);
