// The Windows build's signing through CNG (bcrypt.dll): keys made, imported and used by
// Windows, their files read and written through crypt32 (key_codec_win32.cpp), so each build
// reads the other's keys.
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "key_codec_win32.h"
#include "pack.h"
#include "release_file.h"
#include "signing.h"

namespace fs = std::filesystem;

namespace {

// An ECDSA P-256 provider and, once made or imported, one key of it.
struct CngKey {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;
  CngKey() {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
      throw PackError("cannot sign: Windows has no ECDSA P-256 provider");
    }
  }
  ~CngKey() {
    if (key) ::BCryptDestroyKey(key);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  CngKey(const CngKey&) = delete;
  CngKey& operator=(const CngKey&) = delete;
};

std::string StatusText(NTSTATUS status) {
  char text[32];
  std::snprintf(text, sizeof text, "status 0x%08lX", static_cast<unsigned long>(status));
  return text;
}

std::string Win32Text(DWORD code) {
  char text[256] = "";
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == '.' || text[length - 1] == ' ')) {
    text[--length] = '\0';
  }
  return length > 0 ? std::string(text) : "Windows error " + std::to_string(code);
}

// The private key blob CNG takes and gives: a header, then X, Y and the scalar.
constexpr size_t kCoordinateSize = (kPublicPointSize - 1) / 2;
constexpr size_t kBlobSize = sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateSize + kScalarSize;

// Half the curve's order, rounded down, big-endian: a signature's s at most this is the low
// one of the two that verify.
constexpr uint8_t kHalfOrder[kSignatureSize / 2] = {
    0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xDE, 0x73, 0x7D, 0x56, 0xD3, 0x8B, 0xCF, 0x42, 0x79, 0xDC, 0xE5, 0x61, 0x7E, 0x31, 0x92, 0xA8};

// Up to this many fresh signatures are asked for to find one with a low s; each has one half
// the time.
constexpr int kSignTries = 64;

bool SignOnce(BCRYPT_KEY_HANDLE key, const Sha256Digest& digest, uint8_t* value) {
  ULONG length = 0;
  NTSTATUS status =
      ::BCryptSignHash(key, nullptr, const_cast<PUCHAR>(digest.bytes), sizeof digest.bytes, value,
                       static_cast<ULONG>(kSignatureSize), &length, 0);
  if (!BCRYPT_SUCCESS(status)) {
    throw PackError("cannot sign: CNG refused (" + StatusText(status) + ")");
  }
  return length == kSignatureSize;
}

// A protected access list that lets the user running updpack in and nobody else; an empty
// string when Windows will not say who that is. (Wine maps it to the mode 0750: it gives the
// user's rights to the Unix group too. The "owner rights" name would map to nobody at all.)
std::wstring OwnerOnlyDescriptor() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  alignas(TOKEN_USER) UCHAR buffer[256];
  DWORD length = 0;
  LPWSTR sid = nullptr;
  bool ok = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) &&
            ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid);
  ::CloseHandle(token);
  std::wstring text = ok ? L"D:P(A;;FA;;;" + std::wstring(sid) + L")" : std::wstring();
  if (sid) ::LocalFree(sid);
  return text;
}

// Creates `path`, which must not exist, and writes `text` to it; for `ownerOnly`, with an
// access list for its maker only (which a volume that keeps no lists, FAT, ignores).
void WriteNewFile(const std::string& path, const std::string& text, bool ownerOnly) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring owner = ownerOnly ? OwnerOnlyDescriptor() : std::wstring();
  if (ownerOnly && (owner.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                         owner.c_str(), SDDL_REVISION_1, &descriptor, nullptr))) {
    throw PackError("cannot create " + path +
                    " for its owner only: " + Win32Text(::GetLastError()));
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  HANDLE file = ::CreateFileW(fs::u8path(path).c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = ::GetLastError();
  if (descriptor) ::LocalFree(descriptor);
  if (file == INVALID_HANDLE_VALUE) {
    bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    throw PackError("cannot create " + path + ": " + Win32Text(error) +
                    (exists ? " (updpack never replaces a key file)" : ""));
  }
  DWORD written = 0;
  bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size() && ::FlushFileBuffers(file);
  error = ::GetLastError();
  ok = ::CloseHandle(file) && ok;
  if (!ok) {
    ::DeleteFileW(fs::u8path(path).c_str());
    throw PackError("cannot write " + path + ": " + Win32Text(error));
  }
}

}  // namespace

struct SigningKey::Library {
  CngKey cng;
};

SigningKey::SigningKey() : library_(new Library) {}
SigningKey::~SigningKey() = default;

std::unique_ptr<SigningKey> SigningKey::Load(const std::string& path) {
  std::ifstream in;
  std::string problem = OpenToRead(path, in);
  if (!problem.empty()) throw PackError("cannot read the key " + path + ": " + problem);
  std::stringstream text;
  text << in.rdbuf();
  EcPrivateKey parts;
  problem = DecodePrivateKeyPem(text.str(), &parts);
  if (!problem.empty()) throw PackError(path + " " + problem);
  std::unique_ptr<SigningKey> key(new SigningKey);
  key->publicKey_ = parts.publicKey;
  UCHAR blob[kBlobSize];
  BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, kCoordinateSize};
  std::memcpy(blob, &header, sizeof header);
  std::memcpy(blob + sizeof header, parts.publicKey.point + 1, 2 * kCoordinateSize);
  std::memcpy(blob + sizeof header + 2 * kCoordinateSize, parts.scalar, kScalarSize);
  NTSTATUS status =
      ::BCryptImportKeyPair(key->library_->cng.algorithm, nullptr, BCRYPT_ECCPRIVATE_BLOB,
                            &key->library_->cng.key, blob, sizeof blob, 0);
  ::SecureZeroMemory(blob, sizeof blob);
  if (!BCRYPT_SUCCESS(status)) {
    key->library_->cng.key = nullptr;
    throw PackError(
        path + " is not a usable ECDSA P-256 key (CNG refused it: " + StatusText(status) + ")");
  }
  // CNG takes a point that is not the scalar's without a word; the signatures would then
  // fail every check. A signature checked against the file's point tells.
  Sha256Digest probe = Sha256Of(reinterpret_cast<const uint8_t*>("updpack"), 7);
  uint8_t value[kSignatureSize];
  if (!SignOnce(key->library_->cng.key, probe, value) ||
      !VerifySignature(key->publicKey_, probe, value)) {
    throw PackError(path + " is not a usable key: its public point is not its private key's");
  }
  return key;
}

IntegritySignature SigningKey::Sign(const Sha256Digest& digest) const {
  IntegritySignature signature;
  signature.signer = publicKey_.Id();
  // Low s, so that a signature has one form only. CNG gives either; rather than compute
  // n - s here, a fresh signature is asked for until its s is the low one.
  for (int k = 0; k < kSignTries; ++k) {
    if (!SignOnce(library_->cng.key, digest, signature.value)) break;
    if (std::memcmp(signature.value + kSignatureSize / 2, kHalfOrder, sizeof kHalfOrder) <= 0) {
      return signature;
    }
  }
  throw PackError("cannot sign: CNG gave no signature of the expected form");
}

PublicKey GenerateKeyPair(const std::string& privatePath, const std::string& publicPath) {
  if (privatePath == publicPath) throw PackError("the private and public key need two files");
  CngKey cng;
  NTSTATUS status = ::BCryptGenerateKeyPair(cng.algorithm, &cng.key, 256, 0);
  if (!BCRYPT_SUCCESS(status)) cng.key = nullptr;
  if (BCRYPT_SUCCESS(status)) status = ::BCryptFinalizeKeyPair(cng.key, 0);
  UCHAR blob[kBlobSize];
  ULONG length = 0;
  if (BCRYPT_SUCCESS(status)) {
    status =
        ::BCryptExportKey(cng.key, nullptr, BCRYPT_ECCPRIVATE_BLOB, blob, sizeof blob, &length, 0);
  }
  BCRYPT_ECCKEY_BLOB header = {};
  if (BCRYPT_SUCCESS(status)) std::memcpy(&header, blob, sizeof header);
  if (!BCRYPT_SUCCESS(status) || length != sizeof blob ||
      header.dwMagic != BCRYPT_ECDSA_PRIVATE_P256_MAGIC || header.cbKey != kCoordinateSize) {
    ::SecureZeroMemory(blob, sizeof blob);
    throw PackError("cannot make a key: CNG refused (" + StatusText(status) + ")");
  }
  EcPrivateKey parts;
  parts.publicKey.point[0] = 4;
  std::memcpy(parts.publicKey.point + 1, blob + sizeof header, 2 * kCoordinateSize);
  std::memcpy(parts.scalar, blob + sizeof header + 2 * kCoordinateSize, kScalarSize);
  ::SecureZeroMemory(blob, sizeof blob);
  std::string privateText = EncodePrivateKeyPem(parts);
  std::string publicText = EncodePublicKeyPem(parts.publicKey);
  if (::GetFileAttributesW(fs::u8path(publicPath).c_str()) != INVALID_FILE_ATTRIBUTES) {
    throw PackError("cannot create " + publicPath +
                    ": it exists (updpack never replaces a key file)");
  }
  WriteNewFile(privatePath, privateText, true);
  ::SecureZeroMemory(&privateText[0], privateText.size());
  try {
    WriteNewFile(publicPath, publicText, false);
  } catch (const PackError&) {
    ::DeleteFileW(fs::u8path(privatePath).c_str());
    throw;
  }
  return parts.publicKey;
}
