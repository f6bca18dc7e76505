// The integrity record's bytes: what the writer writes the reader finds and reads back, and a
// malformed record is refused saying what is wrong.
#include "archive/integrity_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "archive/archive_exception.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kBody(100, 0x5A);  // stands for a document
const std::vector<IntegrityEntry> kEntries = {{10, Sha256Of("a", 1)}, {20, Sha256Of("b", 1)}};

Bytes SignedPart() { return EncodeSignedPart(100, Sha256Of(kBody.data(), 100), kEntries); }

Bytes WithRecord(bool sign) {
  IntegritySignature signature;
  signature.signer.bytes[0] = 7;
  signature.value[63] = 9;
  Bytes file = kBody;
  Bytes record = EncodeIntegrityRecord(SignedPart(), sign ? &signature : nullptr);
  file.insert(file.end(), record.begin(), record.end());
  return file;
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

TEST(IntegrityRecord, ReadsBackWhatWasWritten) {
  for (bool sign : {false, true}) {
    MemoryFile file(WithRecord(sign));
    IntegrityRecord record;
    ASSERT_TRUE(ReadIntegrityRecord(file, &record));
    EXPECT_EQ(record.bodyLength, 100u);
    EXPECT_EQ(record.bodyDigest, Sha256Of(kBody.data(), kBody.size()));
    ASSERT_EQ(record.entries.size(), 2u);
    EXPECT_EQ(record.entries[1].size, 20u);
    EXPECT_EQ(record.entries[1].digest, kEntries[1].digest);
    EXPECT_EQ(record.signedPart, SignedPart());
    EXPECT_EQ(record.SignedDigest(), Sha256Of(SignedPart().data(), SignedPart().size()));
    EXPECT_EQ(record.isSigned, sign);
    EXPECT_EQ(record.signature.signer.bytes[0], sign ? 7 : 0);
    EXPECT_EQ(record.signature.value[63], sign ? 9 : 0);
  }
  // Without the footer's magic at its very end a file carries no record.
  for (const Bytes& plain : {Bytes(), Bytes(15, 'V'), kBody}) {
    MemoryFile file(plain);
    IntegrityRecord record;
    EXPECT_FALSE(ReadIntegrityRecord(file, &record));
  }
}

TEST(IntegrityRecord, MalformedRecordsAreRefusedSayingWhy) {
  const Bytes good = WithRecord(true);
  const size_t end = good.size();
  const size_t recordLength = end - kBody.size();
  const size_t signatureLength = 100 + SignedPart().size() + 32;
  const struct {
    const char* name;
    std::function<void(Bytes&)> change;
    const char* says;
  } cases[] = {
      {"length before the start", [&](Bytes& b) { Put32(b, end - 8, end + 1); },
       "reaches before the start of the file"},
      {"length past the body", [&](Bytes& b) { Put32(b, end - 8, recordLength - 4); },
       "starts at byte 104 but says"},
      {"length below a record's", [&](Bytes& b) { Put32(b, end - 8, 20); }, "a record has 96 to"},
      {"unknown version", [&](Bytes& b) { Put32(b, end - 4, 2); }, "has version 2"},
      {"signed part too long", [&](Bytes& b) { Put32(b, 100, 4000); }, "signed part is said"},
      {"signed part too short", [&](Bytes& b) { Put32(b, 100, 40); },
       "signed part is said to have 40 bytes"},
      {"more entries than fit", [&](Bytes& b) { Put32(b, 140, 3); }, "lists 3 entries"},
      {"a changed entry", [&](Bytes& b) { b[150] ^= 1; }, "does not match its own digest"},
      {"signature of the wrong length", [&](Bytes& b) { Put32(b, signatureLength, 64); },
       "signature block is said to have 64 bytes"},
      {"signature bytes of an unsigned record", [&](Bytes& b) { Put32(b, signatureLength, 0); },
       "has 72 bytes after the signature's length where 0 bytes belong"},
  };
  for (const auto& c : cases) {
    Bytes bytes = good;
    c.change(bytes);
    MemoryFile file(bytes);
    IntegrityRecord record;
    try {
      ReadIntegrityRecord(file, &record);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const CArchiveException& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
          << c.name << ": " << e.what();
    }
  }
}

TEST(IntegrityRecord, LaterFieldsAreSkippedUnlessCritical) {
  // tag, length, value; the critical bit is the tag's highest.
  auto withFields = [](const Bytes& fields) {
    Bytes part = SignedPart();
    part.insert(part.end(), fields.begin(), fields.end());
    Put32(part, 0, static_cast<uint32_t>(part.size()));
    Bytes file = kBody;
    Bytes record = EncodeIntegrityRecord(part, nullptr);
    file.insert(file.end(), record.begin(), record.end());
    return file;
  };
  const struct {
    Bytes fields;
    const char* says;  // null: read
  } cases[] = {
      {{7, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'}, nullptr},
      {{7, 0, 0, 0x80, 0, 0, 0, 0}, "field 80000007, which this program does not know"},
      {{7, 0, 0, 0, 3, 0, 0, 0, 'h', 'i'}, "later fields do not fill its signed part"},
      {{7, 0, 0}, "later fields do not fill its signed part"},
  };
  for (const auto& c : cases) {
    MemoryFile file(withFields(c.fields));
    IntegrityRecord record;
    try {
      EXPECT_TRUE(ReadIntegrityRecord(file, &record));
      EXPECT_EQ(c.says, nullptr) << "accepted";
    } catch (const CArchiveException& e) {
      EXPECT_NE(std::string(e.what()).find(c.says ? c.says : "(accepted)"), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
