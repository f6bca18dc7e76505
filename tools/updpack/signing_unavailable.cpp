// The Windows build of updpack: no OpenSSL for it, so no signing. Verifying works.
#include "pack.h"
#include "signing.h"

namespace {

[[noreturn]] void Refuse() {
  throw PackError(
      "this Windows build of updpack cannot sign or make keys (it has no OpenSSL); use the "
      "Linux build of updpack for build --sign, sign and keygen");
}

}  // namespace

struct SigningKey::Library {};

SigningKey::SigningKey() = default;
SigningKey::~SigningKey() = default;

std::unique_ptr<SigningKey> SigningKey::Load(const std::string&) { Refuse(); }

IntegritySignature SigningKey::Sign(const Sha256Digest&) const { Refuse(); }

PublicKey GenerateKeyPair(const std::string&, const std::string&) { Refuse(); }
