// Loading an update file with an integrity record: the same document as without it, plus
// the contents digests; and every damaged, malformed or untrusted file refused saying why.
#include "model/integrity_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/document.h"
#include "model/entry_actions.h"
#include "support/trust_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Loads `bytes` as the first run does, requiring `trust`. Returns "" or the refusal.
std::string Load(const Bytes& bytes, const TrustRequirement& trust, VEzorazEdo& doc) {
  MemoryFile file(bytes);
  doc.trust = trust;
  try {
    doc.EnsureLoaded(file);
  } catch (const CException& e) {
    return e.what();
  }
  return std::string();
}

IntegrityRecord RecordOf(const Bytes& bytes) {
  MemoryFile file(bytes);
  IntegrityRecord record;
  EXPECT_TRUE(ReadIntegrityRecord(file, &record));
  return record;
}

// `body` followed by a record of `entries`, signed by `signature` when given.
Bytes WithRecord(Bytes body, const std::vector<IntegrityEntry>& entries,
                 const IntegritySignature* signature,
                 const std::vector<EntryExtension>& actions = {}) {
  std::vector<IntegrityField> later;
  if (!actions.empty()) later.push_back({kEntryActionsField, EncodeEntryActions(actions)});
  Bytes signedPart = EncodeSignedPart(static_cast<uint32_t>(body.size()),
                                      Sha256Of(body.data(), body.size()), entries, later);
  Bytes record = EncodeIntegrityRecord(signedPart, signature);
  body.insert(body.end(), record.begin(), record.end());
  return body;
}

TEST(IntegrityCheck, ARecordLoadsTheSameDocumentPlusDigests) {
  Bytes signedFile = TrustData("signed.upd");
  Bytes plain(signedFile.begin(), signedFile.begin() + RecordOf(signedFile).bodyLength);
  VEzorazEdo with, without;
  ASSERT_EQ(Load(signedFile, RequireKeyIn("vendor.pub"), with), "");
  ASSERT_EQ(Load(plain, TrustRequirement(), without), "");
  EXPECT_EQ(with.productName, without.productName);
  EXPECT_EQ(with.sampleLength, without.sampleLength);
  ASSERT_EQ(with.items.size(), 2u);
  ASSERT_EQ(without.items.size(), 2u);
  const char* newFiles[] = {"1.1/TRUST.EXE", "1.1/TRUSTLIB.DLL"};
  for (size_t k = 0; k < 2; ++k) {
    const CUpdateItem& a = *with.items[k];
    const CUpdateItem& b = *without.items[k];
    EXPECT_EQ(a.fileName, b.fileName);
    EXPECT_EQ(a.payloadOffset, b.payloadOffset);
    EXPECT_EQ(a.expectedStamp.versionMS, b.expectedStamp.versionMS);
    EXPECT_EQ(a.previousVersions[0]->fingerprintOffset, b.previousVersions[0]->fingerprintOffset);
    Bytes newFile = TrustData(newFiles[k]);
    EXPECT_TRUE(a.hasContentDigest);
    EXPECT_EQ(a.contentDigest, Sha256Of(newFile.data(), newFile.size()));
    EXPECT_FALSE(b.hasContentDigest);
  }
  PublicKey vendor;
  ASSERT_EQ(ParsePublicKey(TrustText("vendor.txt"), &vendor), "");
  EXPECT_TRUE(with.integrity.recordPresent);
  EXPECT_TRUE(with.integrity.signatureVerified);
  EXPECT_EQ(with.integrity.signer, vendor.Id());
  EXPECT_FALSE(without.integrity.recordPresent);
}

TEST(IntegrityCheck, DamagedMalformedAndUntrustedFilesAreRefused) {
  const Bytes good = TrustData("signed.upd");
  const IntegrityRecord record = RecordOf(good);
  const Bytes body(good.begin(), good.begin() + record.bodyLength);
  VEzorazEdo probe;
  ASSERT_EQ(Load(good, TrustRequirement(), probe), "");
  const CUpdateItem& item = *probe.items[0];
  auto flipped = [&](size_t at) {
    Bytes bytes = good;
    bytes[at] ^= 0x20;
    return bytes;
  };
  const std::string name = "TRUSTLIB.DLL";
  size_t nameAt = std::search(good.begin(), good.end(), name.begin(), name.end()) - good.begin();
  Bytes changedBody = body;
  changedBody[item.payloadOffset] ^= 1;
  // Another key's signature, naming the vendor's key.
  IntegritySignature othersAsVendors = RecordOf(TrustData("signed-other.upd")).signature;
  othersAsVendors.signer = record.signature.signer;
  const TrustRequirement none, vendor = RequireKeyIn("vendor.pub");
  // Entry actions that fit the document, then each way of not fitting it.
  std::vector<EntryExtension> fit;
  for (size_t k = 0; k < probe.items.size(); ++k) {
    fit.emplace_back();
    fit.back().newVersion = {record.entries[k].size, record.entries[k].digest};
    for (const auto& order : probe.items[k]->previousVersions) {
      fit.back().previous.push_back({order->stamp.size, {}});
    }
  }
  auto unfit = [&](int how) {
    std::vector<EntryExtension> actions = fit;
    if (how == 0) actions.push_back(fit[0]);
    if (how == 1) actions[0].previous[0].size += 1;
    if (how == 2) actions[0].newVersion.size += 1;
    return WithRecord(body, record.entries, nullptr, actions);
  };
  const std::string damaged = "The update file is damaged.";
  const struct {
    const char* name;
    Bytes bytes;
    TrustRequirement trust;
    std::string says;
  } cases[] = {
      {"header", flipped(20), none, damaged + " Its contents differ"},
      {"an item", flipped(nameAt + 3), none, damaged + " Its contents differ"},
      {"a fingerprint", flipped(item.previousVersions[0]->fingerprintOffset), vendor,
       damaged + " Its contents differ"},
      {"stored contents", flipped(item.payloadOffset + 99), vendor,
       damaged + " Its contents differ"},
      {"the record", flipped(record.bodyLength + 60), none, "does not match its own digest"},
      {"record cut short", Bytes(good.begin(), good.end() - 20), none, "has been cut short"},
      {"one digest too few", WithRecord(body, {record.entries[0]}, nullptr), none,
       "lists 1 file entries; the update has 2"},
      {"one digest too many",
       WithRecord(body, {record.entries[0], record.entries[1], record.entries[1]}, nullptr), none,
       "lists 3 file entries; the update has 2"},
      {"actions for one entry too many", unfit(0), none,
       "entry actions list 3 file entries; the update has 2"},
      {"an action's previous version of another size", unfit(1), none,
       "entry actions do not fit entry 1 (TRUST.EXE)"},
      {"an action's new version not the record's", unfit(2), none,
       "entry actions do not fit entry 1 (TRUST.EXE)"},
      {"a size that is not the entry's", WithRecord(body, {{1, {}}, record.entries[1]}, nullptr),
       none, "gives entry 1 (TRUST.EXE) 1 bytes; the entry's new version has 5600"},
      {"a document running into its record",
       WithRecord(Bytes(body.begin(), body.end() - 4), record.entries, nullptr), none,
       "Its document runs 4 bytes into its integrity record"},
      {"not signed", WithRecord(body, record.entries, nullptr), vendor,
       "The update file is not signed, but the key in vendor.pub ("},
      {"no record", body, vendor, "The update file is not signed"},
      {"signed by another key", TrustData("signed-other.upd"), vendor,
       "The update file is signed by another key ("},
      {"another key's signature", WithRecord(body, record.entries, &othersAsVendors), vendor,
       "signature does not match its contents"},
      {"a signature over another file", WithRecord(changedBody, record.entries, &record.signature),
       vendor, "signature does not match its contents"},
      {"a key that is not one", good, RequireKeyIn("trust.json"),
       "The key in trust.json is not a valid key: it does not begin with \"ecdsa-p256 \"."},
  };
  for (const auto& c : cases) {
    VEzorazEdo doc;
    std::string refusal = Load(c.bytes, c.trust, doc);
    EXPECT_NE(refusal.find(c.says), std::string::npos) << c.name << ": " << refusal;
    EXPECT_FALSE(doc.loaded) << c.name;
    EXPECT_TRUE(doc.items.empty()) << c.name;
  }
}

TEST(IntegrityCheck, KeysAreReadFromTheirTextOrPemAndRefusedOtherwise) {
  PublicKey fromText, fromPem;
  ASSERT_EQ(ParsePublicKey(TrustText("vendor.txt"), &fromText), "");
  ASSERT_EQ(ParsePublicKey(TrustText("vendor.pub"), &fromPem), "");
  EXPECT_EQ(fromText.Id(), fromPem.Id());
  EXPECT_EQ(fromText.Text() + "\n", TrustText("vendor.txt"));
  std::string base64 = fromText.Text().substr(11);
  const struct {
    std::string text;
    const char* says;
  } bad[] = {
      {"", "it is empty"},
      {"ecdsa-p384 " + base64, "it does not begin with"},
      {"ecdsa-p256 " + base64.substr(0, 41), "base64 part is damaged"},
      {"ecdsa-p256 " + base64.substr(0, 84) + "====", "base64 part is damaged"},
      {"ecdsa-p256 AAAA", "holds 3 bytes, not the 65"},
      {"-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", "not a PEM public key"},
      {TrustText("vendor.key"), "not a PEM public key"},
  };
  for (const auto& c : bad) {
    PublicKey key;
    EXPECT_NE(ParsePublicKey(c.text, &key).find(c.says), std::string::npos) << c.text;
  }
}

}  // namespace
