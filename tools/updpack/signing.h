// Signing update files with an ECDSA P-256 private key kept in a PEM file as OpenSSL writes
// it. The native updpack signs through OpenSSL's libcrypto (signing_openssl.cpp), the Windows
// build through CNG and crypt32 (signing_cng.cpp); both write and read the same key files and
// give signatures of the same form.
#pragma once

#include <memory>
#include <string>

#include "archive/integrity_record.h"
#include "platform/sha256.h"
#include "platform/signature.h"

class SigningKey {
 public:
  // Reads an unencrypted PEM private key ("PRIVATE KEY" or "EC PRIVATE KEY") of the P-256
  // curve. Raises PackError saying what is wrong.
  static std::unique_ptr<SigningKey> Load(const std::string& path);
  ~SigningKey();

  const PublicKey& publicKey() const { return publicKey_; }

  // The signature of `digest`, naming this key as the signer. Raises PackError.
  IntegritySignature Sign(const Sha256Digest& digest) const;

 private:
  struct Library;
  SigningKey();
  std::unique_ptr<Library> library_;
  PublicKey publicKey_;
};

// Makes a new key pair and writes it: the private key readable by its owner only, the public
// key as a PEM public key. Refuses to replace an existing file. Returns the public key.
// Raises PackError.
PublicKey GenerateKeyPair(const std::string& privatePath, const std::string& publicPath);
