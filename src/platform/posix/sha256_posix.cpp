// SHA-256 through OpenSSL's digest functions. Not through EVP: its first use loads the
// library's configuration and providers, 2 MB of memory that hashing alone never needs.
// The functions are deprecated in OpenSSL 3 but computed by the same code as EVP's.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include "platform/exceptions.h"
#include "platform/sha256.h"

struct Sha256::State {
  SHA256_CTX context;
};

Sha256::Sha256() : state_(new State) {
  if (SHA256_Init(&state_->context) != 1) throw CMemoryException();
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t count) {
  if (count > 0) SHA256_Update(&state_->context, data, count);
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest;
  SHA256_Final(digest.bytes, &state_->context);
  return digest;
}
