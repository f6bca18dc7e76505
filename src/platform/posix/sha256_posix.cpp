// SHA-256 through OpenSSL's EVP interface.
#include <openssl/evp.h>

#include "platform/exceptions.h"
#include "platform/sha256.h"

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
  ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  if (!state_->context || EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1) {
    throw CMemoryException();
  }
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t count) {
  if (count > 0) EVP_DigestUpdate(state_->context, data, count);
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest;
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context, digest.bytes, &length);
  return digest;
}
