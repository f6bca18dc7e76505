// Keys and ECDSA P-256 verification through CNG (bcrypt.dll); base64 and the decoding of PEM
// public keys through crypt32.dll. Both come with every Windows since Vista.
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>

#include "platform/exceptions.h"
#include "platform/signature_backend.h"

namespace {

// Memory crypt32 allocated for a decoded object.
struct LocalMemory {
  void* p = nullptr;
  ~LocalMemory() {
    if (p) ::LocalFree(p);
  }
};

// An ECDSA P-256 key imported from a public point, or none when CNG refuses it.
class CngKey {
 public:
  explicit CngKey(const PublicKey& key) {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
      throw CMemoryException();
    }
    // The public blob is the header and X and Y, without the point's leading 04.
    UCHAR blob[sizeof(BCRYPT_ECCKEY_BLOB) + kPublicPointSize - 1];
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, key.point + 1, kPublicPointSize - 1);
    if (!BCRYPT_SUCCESS(::BCryptImportKeyPair(algorithm_, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key_,
                                              blob, sizeof blob, 0))) {
      key_ = nullptr;
    }
  }
  ~CngKey() {
    if (key_) ::BCryptDestroyKey(key_);
    if (algorithm_) ::BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  CngKey(const CngKey&) = delete;
  CngKey& operator=(const CngKey&) = delete;

  BCRYPT_KEY_HANDLE handle() const { return key_; }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
};

}  // namespace

std::string EncodeBase64(const uint8_t* data, size_t count) {
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  DWORD length = 0;
  if (count == 0 ||
      !::CryptBinaryToStringA(data, static_cast<DWORD>(count), flags, nullptr, &length)) {
    return std::string();
  }
  std::string text(length, '\0');
  if (!::CryptBinaryToStringA(data, static_cast<DWORD>(count), flags, &text[0], &length)) {
    return std::string();
  }
  text.resize(length);  // the count without the terminator
  return text;
}

bool DecodeBase64(const std::string& text, std::vector<uint8_t>* bytes) {
  DWORD length = 0;
  if (!::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              nullptr, &length, nullptr, nullptr)) {
    return false;
  }
  bytes->assign(length, 0);
  if (length > 0 &&
      !::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              bytes->data(), &length, nullptr, nullptr)) {
    return false;
  }
  bytes->resize(length);
  return true;
}

std::string DecodePemPublicKey(const std::string& pem, std::vector<uint8_t>* point) {
  const char* notPem = "it is not a PEM public key";
  if (pem.find("-----BEGIN PUBLIC KEY-----") == std::string::npos) return notPem;
  DWORD length = 0;
  if (!::CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              nullptr, &length, nullptr, nullptr)) {
    return notPem;
  }
  std::vector<BYTE> der(length);
  if (!::CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              der.data(), &length, nullptr, nullptr)) {
    return notPem;
  }
  LocalMemory info;
  DWORD infoSize = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), length,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &info.p, &infoSize)) {
    return notPem;
  }
  const CERT_PUBLIC_KEY_INFO* key = static_cast<const CERT_PUBLIC_KEY_INFO*>(info.p);
  const char* notP256 = "it is not an ECDSA P-256 key";
  if (!key->Algorithm.pszObjId || std::strcmp(key->Algorithm.pszObjId, szOID_ECC_PUBLIC_KEY) != 0) {
    return notP256;
  }
  LocalMemory curve;
  DWORD curveSize = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_OBJECT_IDENTIFIER,
                             key->Algorithm.Parameters.pbData, key->Algorithm.Parameters.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &curve.p, &curveSize)) {
    return notP256;
  }
  const char* curveOid = *static_cast<const LPSTR*>(curve.p);
  if (!curveOid || std::strcmp(curveOid, szOID_ECC_CURVE_P256) != 0 ||
      key->PublicKey.cUnusedBits != 0) {
    return notP256;
  }
  point->assign(key->PublicKey.pbData, key->PublicKey.pbData + key->PublicKey.cbData);
  return std::string();
}

bool IsUsableKey(const PublicKey& key) { return CngKey(key).handle() != nullptr; }

bool VerifySignature(const PublicKey& key, const Sha256Digest& digest, const uint8_t* signature) {
  CngKey cng(key);
  if (!cng.handle()) return false;
  return BCRYPT_SUCCESS(::BCryptVerifySignature(
      cng.handle(), nullptr, const_cast<PUCHAR>(digest.bytes), sizeof digest.bytes,
      const_cast<PUCHAR>(signature), static_cast<ULONG>(kSignatureSize), 0));
}
