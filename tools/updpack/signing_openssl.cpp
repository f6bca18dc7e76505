#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/pem.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "pack.h"
#include "signing.h"

struct SigningKey::Library {
  EVP_PKEY* key = nullptr;
  ~Library() { EVP_PKEY_free(key); }
};

namespace {

// libcrypto's first queued reason, for messages; the queue is left empty.
std::string LibraryReason() {
  unsigned long code = ERR_get_error();
  char text[256] = "no reason given";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return text;
}

// Refuses to ask for a passphrase: updpack runs unattended.
int NoPassphrase(char*, int, int, void*) { return -1; }

// The public point of an EC key in its uncompressed form; false for another key.
bool P256Point(EVP_PKEY* key, PublicKey* out) {
  char group[64] = {};
  size_t length = 0;
  if (!EVP_PKEY_is_a(key, "EC") ||
      EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                     &length) != 1 ||
      std::strcmp(group, "prime256v1") != 0 ||
      EVP_PKEY_set_utf8_string_param(key, OSSL_PKEY_PARAM_EC_POINT_CONVERSION_FORMAT,
                                     "uncompressed") != 1) {
    return false;
  }
  uint8_t point[2 * kPublicPointSize];
  if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &length) !=
          1 ||
      length != kPublicPointSize || point[0] != 4) {
    return false;
  }
  std::memcpy(out->point, point, kPublicPointSize);
  return true;
}

std::string PemText(EVP_PKEY* key, bool privatePart) {
  BIO* bio = BIO_new(BIO_s_mem());
  bool ok = bio &&
            (privatePart ? PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr)
                         : PEM_write_bio_PUBKEY(bio, key)) == 1;
  char* data = nullptr;
  long length = ok ? BIO_get_mem_data(bio, &data) : 0;
  std::string text = length > 0 ? std::string(data, static_cast<size_t>(length)) : "";
  BIO_free(bio);
  if (text.empty()) throw PackError("cannot write the new key: " + LibraryReason());
  return text;
}

// Creates `path`, which must not exist, with `mode`, and writes `text` to it.
void WriteNewFile(const std::string& path, const std::string& text, mode_t mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (fd < 0) {
    throw PackError("cannot create " + path + ": " + std::strerror(errno) +
                    (errno == EEXIST ? " (updpack never replaces a key file)" : ""));
  }
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  int error = errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    ::unlink(path.c_str());
    throw PackError("cannot write " + path + ": " + std::strerror(error));
  }
}

}  // namespace

SigningKey::SigningKey() : library_(new Library) {}
SigningKey::~SigningKey() = default;

std::unique_ptr<SigningKey> SigningKey::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read the key " + path + ": " + std::strerror(errno));
  std::stringstream text;
  text << in.rdbuf();
  std::string pem = text.str();
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  std::unique_ptr<SigningKey> key(new SigningKey);
  key->library_->key = bio ? PEM_read_bio_PrivateKey(bio, nullptr, NoPassphrase, nullptr) : nullptr;
  BIO_free(bio);
  if (!key->library_->key) {
    throw PackError(path + " is not an unencrypted PEM private key (" + LibraryReason() + ")");
  }
  if (!P256Point(key->library_->key, &key->publicKey_)) {
    ERR_clear_error();
    throw PackError(path + " is not an ECDSA P-256 key");
  }
  return key;
}

IntegritySignature SigningKey::Sign(const Sha256Digest& digest) const {
  EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(library_->key, nullptr);
  size_t length = 0;
  std::vector<unsigned char> der;
  bool ok = context && EVP_PKEY_sign_init(context) == 1 &&
            EVP_PKEY_sign(context, nullptr, &length, digest.bytes, sizeof digest.bytes) == 1;
  if (ok) {
    der.resize(length);
    ok = EVP_PKEY_sign(context, der.data(), &length, digest.bytes, sizeof digest.bytes) == 1;
  }
  EVP_PKEY_CTX_free(context);
  // The record holds r and s as they are; libcrypto gives them DER-encoded.
  const unsigned char* at = der.data();
  ECDSA_SIG* sig = ok ? d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(length)) : nullptr;
  IntegritySignature signature;
  signature.signer = publicKey_.Id();
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  if (sig) ECDSA_SIG_get0(sig, &r, &s);
  // Low s: of the two values that verify (s and n - s) the one at most n / 2, so that a
  // signature has one form only.
  EC_GROUP* group = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
  BIGNUM* half = BN_new();
  BIGNUM* low = BN_new();
  const BIGNUM* order = group ? EC_GROUP_get0_order(group) : nullptr;
  ok = sig && order && half && low && BN_rshift1(half, order) == 1 &&
       (BN_cmp(s, half) <= 0 ? BN_copy(low, s) != nullptr : BN_sub(low, order, s) == 1);
  ok = ok && BN_bn2binpad(r, signature.value, kSignatureSize / 2) == kSignatureSize / 2 &&
       BN_bn2binpad(low, signature.value + kSignatureSize / 2, kSignatureSize / 2) ==
           kSignatureSize / 2;
  BN_free(low);
  BN_free(half);
  EC_GROUP_free(group);
  ECDSA_SIG_free(sig);
  if (!ok) throw PackError("cannot sign: " + LibraryReason());
  return signature;
}

PublicKey GenerateKeyPair(const std::string& privatePath, const std::string& publicPath) {
  if (privatePath == publicPath) throw PackError("the private and public key need two files");
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (!key) throw PackError("cannot make a key: " + LibraryReason());
  PublicKey publicKey;
  std::string privateText, publicText;
  bool ok = P256Point(key, &publicKey);
  if (ok) {
    privateText = PemText(key, true);
    publicText = PemText(key, false);
  }
  EVP_PKEY_free(key);
  if (!ok) throw PackError("cannot make a key: " + LibraryReason());
  if (::access(publicPath.c_str(), F_OK) == 0) {
    throw PackError("cannot create " + publicPath +
                    ": it exists (updpack never replaces a key file)");
  }
  WriteNewFile(privatePath, privateText, 0600);
  try {
    WriteNewFile(publicPath, publicText, 0644);
  } catch (const PackError&) {
    ::unlink(privatePath.c_str());
    throw;
  }
  return publicKey;
}
