// Private keys through crypt32's codecs of their parts. crypt32 on Windows also has codecs for
// the two private key structures whole (X509_ECC_PRIVATE_KEY, PKCS_PRIVATE_KEY_INFO), but
// Wine's, where the tests run, has neither, nor an encoder of a lone object identifier; so each
// structure is put together from crypt32's sequence, integer, octet string, bit string and
// object identifier codecs, which both have. No length or content is read or written here.
#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "key_codec_win32.h"
#include "pack.h"

namespace {

using Der = std::vector<BYTE>;

constexpr DWORD kEncoding = X509_ASN_ENCODING;

// Memory crypt32 allocated.
struct LocalMemory {
  void* p = nullptr;
  ~LocalMemory() {
    if (p) ::LocalFree(p);
  }
};

bool Decode(LPCSTR type, const Der& der, LocalMemory* out) {
  DWORD size = 0;
  return ::CryptDecodeObjectEx(kEncoding, type, der.data(), static_cast<DWORD>(der.size()),
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &out->p, &size) != 0;
}

Der Encode(LPCSTR type, const void* value) {
  LocalMemory memory;
  DWORD size = 0;
  if (!::CryptEncodeObjectEx(kEncoding, type, value, CRYPT_ENCODE_ALLOC_FLAG, nullptr, &memory.p,
                             &size)) {
    throw PackError("cannot write the new key: crypt32 refused to encode it (error " +
                    std::to_string(::GetLastError()) + ")");
  }
  const BYTE* bytes = static_cast<const BYTE*>(memory.p);
  return Der(bytes, bytes + size);
}

// The elements of a SEQUENCE, each whole (tag, length and contents).
bool Elements(const Der& der, std::vector<Der>* out) {
  LocalMemory memory;
  if (!Decode(X509_SEQUENCE_OF_ANY, der, &memory)) return false;
  const CRYPT_SEQUENCE_OF_ANY* sequence = static_cast<const CRYPT_SEQUENCE_OF_ANY*>(memory.p);
  out->clear();
  for (DWORD k = 0; k < sequence->cValue; ++k) {
    out->emplace_back(sequence->rgValue[k].pbData,
                      sequence->rgValue[k].pbData + sequence->rgValue[k].cbData);
  }
  return true;
}

Der Sequence(const std::vector<Der>& elements) {
  std::vector<CRYPT_DER_BLOB> blobs;
  for (const Der& element : elements) {
    blobs.push_back({static_cast<DWORD>(element.size()), const_cast<BYTE*>(element.data())});
  }
  CRYPT_SEQUENCE_OF_ANY sequence = {static_cast<DWORD>(blobs.size()), blobs.data()};
  return Encode(X509_SEQUENCE_OF_ANY, &sequence);
}

// An explicitly tagged value, [n], is its one element wrapped exactly as a SEQUENCE of one
// would be, but for the first byte, which names the tag. crypt32 has no codec for tagged
// values, so that byte is swapped for SEQUENCE's and crypt32 does the rest.
constexpr BYTE kSequenceTag = 0x30, kExplicitTag = 0xA0;

bool Untag(const Der& value, int n, Der* inner) {
  if (value.empty() || value[0] != (kExplicitTag | n)) return false;
  Der sequence = value;
  sequence[0] = kSequenceTag;
  std::vector<Der> elements;
  if (!Elements(sequence, &elements) || elements.size() != 1) return false;
  *inner = elements[0];
  return true;
}

Der Tag(int n, const Der& inner) {
  Der value = Sequence({inner});
  value[0] = static_cast<BYTE>(kExplicitTag | n);
  return value;
}

bool Integer(const Der& der, int* value) {
  LocalMemory memory;
  if (!Decode(X509_INTEGER, der, &memory)) return false;
  *value = *static_cast<const int*>(memory.p);
  return true;
}

bool OctetString(const Der& der, Der* bytes) {
  LocalMemory memory;
  if (!Decode(X509_OCTET_STRING, der, &memory)) return false;
  const CRYPT_DATA_BLOB* blob = static_cast<const CRYPT_DATA_BLOB*>(memory.p);
  bytes->assign(blob->pbData, blob->pbData + blob->cbData);
  return true;
}

bool IsOid(const Der& der, const char* oid) {
  LocalMemory memory;
  if (!Decode(X509_OBJECT_IDENTIFIER, der, &memory)) return false;
  const char* text = *static_cast<const LPSTR*>(memory.p);
  return text && std::strcmp(text, oid) == 0;
}

// An uncompressed point of the right size, from a BIT STRING.
bool Point(const Der& der, PublicKey* key) {
  LocalMemory memory;
  if (!Decode(X509_BITS, der, &memory)) return false;
  const CRYPT_BIT_BLOB* bits = static_cast<const CRYPT_BIT_BLOB*>(memory.p);
  if (bits->cUnusedBits != 0 || bits->cbData != kPublicPointSize || bits->pbData[0] != 4) {
    return false;
  }
  std::memcpy(key->point, bits->pbData, kPublicPointSize);
  return true;
}

Der EncodedInteger(int value) { return Encode(X509_INTEGER, &value); }

Der EncodedOctets(const uint8_t* data, size_t size) {
  CRYPT_DATA_BLOB blob = {static_cast<DWORD>(size), const_cast<BYTE*>(data)};
  return Encode(X509_OCTET_STRING, &blob);
}

// Wine's crypt32 encodes no object identifier on its own, but does as the first element of
// a content info.
Der EncodedOid(const char* oid) {
  CRYPT_CONTENT_INFO info = {};
  info.pszObjId = const_cast<LPSTR>(oid);
  std::vector<Der> elements;
  if (!Elements(Encode(PKCS_CONTENT_INFO, &info), &elements) || elements.empty()) {
    throw PackError("cannot write the new key: crypt32 gave no object identifier");
  }
  return elements[0];
}

void Wipe(Der* der) {
  if (!der->empty()) ::SecureZeroMemory(der->data(), der->size());
}

constexpr char kNotPrivate[] = "is not an unencrypted PEM private key (";

// The private key structure with its version, scalar, curve ([0], which a key in a "PRIVATE
// KEY" block leaves to the block's algorithm) and public point ([1]).
std::string DecodeEcKey(const Der& der, bool curveNamedOutside, EcPrivateKey* key) {
  std::vector<Der> fields;
  int version = 0;
  Der scalar;
  if (!Elements(der, &fields) || fields.size() < 2 || !Integer(fields[0], &version) ||
      version != 1 || !OctetString(fields[1], &scalar) || scalar.empty() ||
      scalar.size() > kScalarSize) {
    Wipe(&scalar);
    return std::string(kNotPrivate) + "its EC key is damaged)";
  }
  std::memcpy(key->scalar + kScalarSize - scalar.size(), scalar.data(), scalar.size());
  Wipe(&scalar);
  Wipe(&fields[1]);
  bool curveNamed = curveNamedOutside, hasPoint = false;
  for (size_t k = 2; k < fields.size(); ++k) {
    Der inner;
    if (Untag(fields[k], 0, &inner)) {
      if (!IsOid(inner, szOID_ECC_CURVE_P256)) return "is not an ECDSA P-256 key";
      curveNamed = true;
    } else if (Untag(fields[k], 1, &inner)) {
      if (!Point(inner, &key->publicKey))
        return std::string(kNotPrivate) + "its public point is damaged)";
      hasPoint = true;
    }
  }
  if (!curveNamed) return "is not an ECDSA P-256 key (it names no curve)";
  if (!hasPoint) return "holds no public point (keys from updpack keygen and OpenSSL carry it)";
  return std::string();
}

std::string Armour(const Der& der, const std::string& label) {
  // Lines of 64 characters ending in LF, as OpenSSL writes them.
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCR;
  DWORD length = 0;
  std::string body;
  if (::CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), flags, nullptr, &length)) {
    body.assign(length, '\0');
    if (!::CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), flags, &body[0],
                                &length)) {
      body.clear();
    }
    body.resize(length);
  }
  if (body.empty()) throw PackError("cannot write the new key: crypt32 gave no base64");
  return "-----BEGIN " + label + "-----\n" + body + "-----END " + label + "-----\n";
}

}  // namespace

EcPrivateKey::~EcPrivateKey() { ::SecureZeroMemory(scalar, sizeof scalar); }

std::string DecodePrivateKeyPem(const std::string& pem, EcPrivateKey* key) {
  // The first block that holds a private key, as OpenSSL takes it (the curve's own block,
  // which "openssl ecparam -genkey" writes first, is passed over).
  const std::string begin = "-----BEGIN ";
  std::string label, firstLabel;
  size_t at = 0;
  for (size_t from = 0;; from = at + 1) {
    at = pem.find(begin, from);
    size_t labelEnd = at == std::string::npos ? at : pem.find("-----", at + begin.size());
    if (labelEnd == std::string::npos) {
      return std::string(kNotPrivate) + (firstLabel.empty()
                                             ? "it holds no PEM block)"
                                             : "its block is \"" + firstLabel + "\")");
    }
    label = pem.substr(at + begin.size(), labelEnd - at - begin.size());
    if (firstLabel.empty()) firstLabel = label;
    if (label.find("PRIVATE KEY") != std::string::npos) break;
  }
  size_t end = pem.find("-----END ", at);
  if (label == "ENCRYPTED PRIVATE KEY" ||
      pem.substr(at, end == std::string::npos ? end : end - at).find("Proc-Type:") !=
          std::string::npos) {
    return std::string(kNotPrivate) +
           "it is encrypted: updpack runs unattended, without a passphrase)";
  }
  bool wrapped = label == "PRIVATE KEY";
  if (!wrapped && label != "EC PRIVATE KEY") return "is not an ECDSA P-256 key";
  DWORD length = 0;
  const char* text = pem.data() + at;
  DWORD size = static_cast<DWORD>(pem.size() - at);
  Der der;
  if (::CryptStringToBinaryA(text, size, CRYPT_STRING_BASE64HEADER, nullptr, &length, nullptr,
                             nullptr)) {
    der.assign(length, 0);
    if (!::CryptStringToBinaryA(text, size, CRYPT_STRING_BASE64HEADER, der.data(), &length, nullptr,
                                nullptr)) {
      der.clear();
    }
  }
  if (der.empty()) return std::string(kNotPrivate) + "its base64 is damaged)";
  if (!wrapped) {
    std::string problem = DecodeEcKey(der, false, key);
    Wipe(&der);
    return problem;
  }
  // The algorithm (EC, which curve), then the EC key inside an octet string.
  std::vector<Der> fields, algorithm;
  int version = 0;
  Der inner;
  bool ok = Elements(der, &fields) && fields.size() >= 3 && Integer(fields[0], &version) &&
            (version == 0 || version == 1) && Elements(fields[1], &algorithm) &&
            !algorithm.empty() && OctetString(fields[2], &inner);
  Wipe(&der);
  for (Der& field : fields) Wipe(&field);
  std::string problem;
  if (!ok) {
    problem = std::string(kNotPrivate) + "its structure is damaged)";
  } else if (!IsOid(algorithm[0], szOID_ECC_PUBLIC_KEY) || algorithm.size() != 2 ||
             !IsOid(algorithm[1], szOID_ECC_CURVE_P256)) {
    problem = "is not an ECDSA P-256 key";
  } else {
    problem = DecodeEcKey(inner, true, key);
  }
  Wipe(&inner);
  return problem;
}

std::string EncodePrivateKeyPem(const EcPrivateKey& key) {
  Der point = Tag(1, [&key] {
    CRYPT_BIT_BLOB bits = {kPublicPointSize, const_cast<BYTE*>(key.publicKey.point), 0};
    return Encode(X509_BITS, &bits);
  }());
  Der scalar = EncodedOctets(key.scalar, kScalarSize);
  Der ecKey = Sequence({EncodedInteger(1), scalar, point});
  Der algorithm = Sequence({EncodedOid(szOID_ECC_PUBLIC_KEY), EncodedOid(szOID_ECC_CURVE_P256)});
  Der wrapped = EncodedOctets(ecKey.data(), ecKey.size());
  Der info = Sequence({EncodedInteger(0), algorithm, wrapped});
  std::string text = Armour(info, "PRIVATE KEY");
  for (Der* der : {&scalar, &ecKey, &wrapped, &info}) Wipe(der);
  return text;
}

std::string EncodePublicKeyPem(const PublicKey& key) {
  Der curve = EncodedOid(szOID_ECC_CURVE_P256);
  CERT_PUBLIC_KEY_INFO info = {};
  info.Algorithm.pszObjId = const_cast<LPSTR>(szOID_ECC_PUBLIC_KEY);
  info.Algorithm.Parameters = {static_cast<DWORD>(curve.size()), curve.data()};
  info.PublicKey = {kPublicPointSize, const_cast<BYTE*>(key.point), 0};
  return Armour(Encode(X509_PUBLIC_KEY_INFO, &info), "PUBLIC KEY");
}
