// SHA-256 through CNG (bcrypt.dll), which every Windows since Vista carries.
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include "platform/exceptions.h"
#include "platform/sha256.h"

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) ::BCryptDestroyHash(hash);
    if (algorithm) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(new State) {
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !BCRYPT_SUCCESS(
          ::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0))) {
    throw CMemoryException();
  }
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t count) {
  const UCHAR* bytes = static_cast<const UCHAR*>(data);
  while (count > 0) {
    ULONG chunk = count > 0x40000000 ? 0x40000000 : static_cast<ULONG>(count);
    ::BCryptHashData(state_->hash, const_cast<UCHAR*>(bytes), chunk, 0);
    bytes += chunk;
    count -= chunk;
  }
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest;
  ::BCryptFinishHash(state_->hash, digest.bytes, sizeof digest.bytes, 0);
  return digest;
}
