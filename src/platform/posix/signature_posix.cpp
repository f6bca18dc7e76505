// Keys, base64 and ECDSA P-256 verification through OpenSSL's libcrypto.
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>
#include <memory>

#include "platform/exceptions.h"
#include "platform/signature_backend.h"

namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(EVP_ENCODE_CTX* p) const { EVP_ENCODE_CTX_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
  void operator()(unsigned char* p) const { OPENSSL_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

// libcrypto queues a reason for every refusal; a refusal here is an answer, not an error.
struct ClearErrors {
  ~ClearErrors() { ERR_clear_error(); }
};

// The key as libcrypto holds it; null when libcrypto refuses the point.
Owned<EVP_PKEY> ImportPoint(const PublicKey& key) {
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, const_cast<uint8_t*>(key.point),
                                        sizeof key.point),
      OSSL_PARAM_construct_end()};
  Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!context) throw CMemoryException();
  EVP_PKEY* pkey = nullptr;
  if (EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &pkey, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    return nullptr;
  }
  return Owned<EVP_PKEY>(pkey);
}

}  // namespace

std::string EncodeBase64(const uint8_t* data, size_t count) {
  std::string text(4 * ((count + 2) / 3) + 1, '\0');
  int n =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), data, static_cast<int>(count));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

bool DecodeBase64(const std::string& text, std::vector<uint8_t>* bytes) {
  ClearErrors clear;
  Owned<EVP_ENCODE_CTX> context(EVP_ENCODE_CTX_new());
  if (!context) throw CMemoryException();
  EVP_DecodeInit(context.get());
  bytes->assign(text.size() / 4 * 3 + 3, 0);
  int n = 0, last = 0;
  if (EVP_DecodeUpdate(context.get(), bytes->data(), &n,
                       reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<int>(text.size())) < 0 ||
      EVP_DecodeFinal(context.get(), bytes->data() + n, &last) != 1) {
    return false;
  }
  bytes->resize(static_cast<size_t>(n + last));
  return true;
}

std::string DecodePemPublicKey(const std::string& pem, std::vector<uint8_t>* point) {
  ClearErrors clear;
  Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) throw CMemoryException();
  Owned<EVP_PKEY> pkey(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
  if (!pkey) return "it is not a PEM public key";
  char group[64] = {};
  size_t length = 0;
  if (!EVP_PKEY_is_a(pkey.get(), "EC") ||
      EVP_PKEY_get_utf8_string_param(pkey.get(), OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                     &length) != 1 ||
      std::strcmp(group, "prime256v1") != 0) {
    return "it is not an ECDSA P-256 key";
  }
  uint8_t encoded[2 * kPublicPointSize];
  if (EVP_PKEY_get_octet_string_param(pkey.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded, sizeof encoded,
                                      &length) != 1) {
    return "it is not an ECDSA P-256 key";
  }
  point->assign(encoded, encoded + length);
  return std::string();
}

bool IsUsableKey(const PublicKey& key) {
  ClearErrors clear;
  return ImportPoint(key) != nullptr;
}

bool VerifySignature(const PublicKey& key, const Sha256Digest& digest, const uint8_t* signature) {
  ClearErrors clear;
  Owned<EVP_PKEY> pkey = ImportPoint(key);
  if (!pkey) return false;
  // libcrypto takes the signature DER-encoded; the update file holds r and s as they are.
  Owned<ECDSA_SIG> sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(signature, kSignatureSize / 2, nullptr);
  BIGNUM* s = BN_bin2bn(signature + kSignatureSize / 2, kSignatureSize / 2, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    throw CMemoryException();
  }
  unsigned char* der = nullptr;
  int derLength = i2d_ECDSA_SIG(sig.get(), &der);
  Owned<unsigned char> derOwner(der);
  Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  if (derLength <= 0 || !context) throw CMemoryException();
  return EVP_PKEY_verify_init(context.get()) == 1 &&
         EVP_PKEY_verify(context.get(), der, static_cast<size_t>(derLength), digest.bytes,
                         sizeof digest.bytes) == 1;
}
