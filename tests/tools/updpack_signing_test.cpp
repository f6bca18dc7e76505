// updpack and integrity records: build adds the record and nothing else (--plain leaves it
// out), sign replaces a signature in place, keygen makes keys and never overwrites one, and
// verify reports the signature. Both builds sign (OpenSSL natively, CNG on Windows) with the
// same key files and give signatures of the same form.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "pack.h"
#include "read_back.h"
#include "signing.h"
#include "support/temp_dir.h"
#include "support/trust_data.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::unique_ptr<CFile> file = OpenForReading(path);
  Bytes bytes(file->Length());
  file->Read(bytes.data(), bytes.size());
  return bytes;
}

// Verifies `path` requiring `trust`; the report, and whether it passed.
std::pair<std::string, bool> Verify(const std::string& path, const TrustRequirement& trust) {
  std::ostringstream report;
  bool passed = VerifyUpdate(path, report, trust);
  return {report.str(), passed};
}

TEST(UpdpackSigning, BuildSignKeygenAndVerify) {
  TempDir dir;
  Manifest manifest = ParseManifest(TrustText("trust.json"), TrustDataPath(""));
  std::string plainPath = dir.path() + "/plain.upd", path = dir.path() + "/trust.upd";
  BuildOptions plain;
  plain.plain = true;
  BuildUpdate(manifest, plainPath, PackReport(), plain);
  BuildUpdate(manifest, path, PackReport());
  Bytes before = ReadAll(plainPath), after = ReadAll(path);
  ASSERT_GT(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
  EXPECT_NE(Verify(path, TrustRequirement()).first.find("signature: none"), std::string::npos);
  // A record whose digests are not the new files': verify expands and compares.
  Bytes wrong = before;
  Bytes record = EncodeIntegrityRecord(
      EncodeSignedPart(static_cast<uint32_t>(before.size()), Sha256Of(before.data(), before.size()),
                       {{5600, {}}, {3200, {}}}),
      nullptr);
  wrong.insert(wrong.end(), record.begin(), record.end());
  std::string wrongPath = dir.Write("wrong.upd", wrong);
  auto mismatch = Verify(wrongPath, TrustRequirement());
  EXPECT_FALSE(mismatch.second);
  EXPECT_NE(mismatch.first.find("1 TRUST.EXE: FAILED: expands to other contents"),
            std::string::npos)
      << mismatch.first;
  // What the Linux build signed.
  EXPECT_TRUE(Verify(TrustDataPath("signed.upd"), RequireKeyIn("vendor.pub")).second);
  // A key the openssl command made, in either of its PEM forms, then the vendor's in its place.
  for (const char* name : {"other.key", "other-ec.key"}) {
    SignUpdate(path, *SigningKey::Load(TrustDataPath(name)));
    EXPECT_TRUE(Verify(path, RequireKeyIn("other.pub")).second) << name;
  }
  std::unique_ptr<SigningKey> vendor = SigningKey::Load(TrustDataPath("vendor.key"));
  SignUpdate(path, *vendor);
  EXPECT_EQ(ReadAll(path).size(), after.size() + 72);
  auto other = Verify(path, RequireKeyIn("other.pub"));
  EXPECT_FALSE(other.second);
  EXPECT_NE(other.first.find("signature: FAILED: The update file is signed by another key"),
            std::string::npos)
      << other.first;
  EXPECT_TRUE(Verify(path, RequireKeyIn("vendor.txt")).second);
  // A signature over a record that failed vouches for nothing, and says so.
  Bytes damaged = ReadAll(path);
  damaged[40] ^= 1;  // in the description
  std::string damagedPath = dir.Write("damaged.upd", damaged);
  auto failed = Verify(damagedPath, RequireKeyIn("vendor.txt"));
  EXPECT_FALSE(failed.second);
  EXPECT_NE(failed.first.find("signature: not checked, the integrity record failed"),
            std::string::npos)
      << failed.first;
  EXPECT_EQ(failed.first.find("signature: ok"), std::string::npos) << failed.first;
  // Nor is a damaged file signed.
  EXPECT_ANY_THROW(SignUpdate(damagedPath, *vendor));
  EXPECT_EQ(ReadAll(damagedPath), damaged);
  // Low s only: of the two values that verify, the one at most half the curve's order.
  const uint8_t halfOrder[32] = {0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDE, 0x73, 0x7D, 0x56, 0xD3, 0x8B,
                                 0xCF, 0x42, 0x79, 0xDC, 0xE5, 0x61, 0x7E, 0x31, 0x92, 0xA8};
  for (uint8_t k = 0; k < 40; ++k) {
    IntegritySignature signature = vendor->Sign(Sha256Of(&k, 1));
    EXPECT_LE(std::memcmp(signature.value + 32, halfOrder, 32), 0) << int{k};
    EXPECT_TRUE(VerifySignature(vendor->publicKey(), Sha256Of(&k, 1), signature.value));
  }
  EXPECT_THROW(SignUpdate(plainPath, *vendor), PackError);
  for (const char* notPrivate : {"vendor.pub", "trust.json"}) {
    try {
      SigningKey::Load(TrustDataPath(notPrivate));
      ADD_FAILURE() << notPrivate << " loaded";
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find("is not an unencrypted PEM private key"),
                std::string::npos)
          << e.what();
    }
  }

  std::string newKey = dir.path() + "/new.key", newPub = dir.path() + "/new.pub";
  PublicKey made = GenerateKeyPair(newKey, newPub);
#ifndef _WIN32
  // Only its owner may read the private key.
  const fs::perms others = fs::perms::group_all | fs::perms::others_all;
  EXPECT_EQ(fs::status(newKey).permissions() & others, fs::perms::none);
#endif
  EXPECT_THROW(GenerateKeyPair(newKey, dir.path() + "/another.pub"), PackError);
  EXPECT_FALSE(fs::exists(dir.path() + "/another.pub"));
  // A private key whose public half cannot be written is not kept.
  EXPECT_THROW(GenerateKeyPair(dir.path() + "/lone.key", dir.path() + "/no/dir/lone.pub"),
               PackError);
  EXPECT_FALSE(fs::exists(dir.path() + "/lone.key"));
  std::unique_ptr<SigningKey> key = SigningKey::Load(newKey);
  BuildOptions signedBuild;
  signedBuild.signer = key.get();
  BuildUpdate(manifest, path, PackReport(), signedBuild);
  EXPECT_TRUE(Verify(path, TrustRequirement{true, made.Text(), "the printed text"}).second);
  Bytes pem = ReadAll(newPub);
  EXPECT_TRUE(
      Verify(path, TrustRequirement{true, std::string(pem.begin(), pem.end()), "new.pub"}).second);
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

}  // namespace
