#include "archive/archive_reader.h"

#include <gtest/gtest.h>

#include "archive/test_classes.h"
#include "support/counting_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(ArchiveReader, ReadsLittleEndianValuesAndFailsOnTruncation) {
  MemoryFile file(Bytes{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF});
  ArchiveReader reader(file, TestRegistry());
  EXPECT_EQ(reader.ReadWord(), 0x1234);
  EXPECT_EQ(reader.ReadDword(), 0x12345678u);
  try {
    reader.ReadWord();
    FAIL() << "a word cut by the end of the file must fail";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.cause(), ArchiveCause::truncated);
    EXPECT_EQ(e.path(), "");  // the truncated cause carries no file name
    EXPECT_NE(std::string(e.what()).find("offset 6"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ArchiveCauseOf(Bytes{1, 2, 3}, [](ArchiveReader& r) { r.ReadDword(); }), 3);
}

TEST(ArchiveReader, RaisesSmallBuffersTo128AndAsksAgainAfterShortReads) {
  MemoryFile inner(Bytes(300, 0xAB));
  CountingFile file(inner, 3);  // the file hands out at most 3 bytes per read
  ArchiveReader reader(file, TestRegistry(), 16);
  EXPECT_EQ(reader.ReadDword(), 0xABABABABu);
  EXPECT_EQ(file.lastRequest, 128u - 3u);  // second request: the rest of a 128-byte buffer
  EXPECT_EQ(file.reads, 2u);
}

TEST(ArchiveReader, CloseGivesBackTheReadAhead) {
  Bytes bytes(10000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  MemoryFile file(bytes);
  {
    ArchiveReader reader(file, TestRegistry());
    reader.ReadWord();
    reader.ReadWord();
    reader.ReadWord();
    EXPECT_EQ(file.Tell(), 4096u);  // read ahead a whole buffer
    reader.Close();
    EXPECT_EQ(file.Tell(), 6u);
  }
  // A reader starts at the file's position, and destruction closes it too.
  file.SeekAbsolute(5000);
  {
    ArchiveReader reader(file, TestRegistry());
    EXPECT_EQ(reader.ReadWord(), (5000 & 0xFF) | ((5001 & 0xFF) << 8));
    EXPECT_EQ(reader.Offset(), 5002u);
  }
  EXPECT_EQ(file.Tell(), 5002u);
}

TEST(ArchiveReader, ListCountForms) {
  auto count = [](Bytes bytes) {
    MemoryFile file(std::move(bytes));
    ArchiveReader reader(file, TestRegistry());
    return reader.ReadListCount();
  };
  EXPECT_EQ(count({0x00, 0x00}), 0u);
  EXPECT_EQ(count({0xFE, 0xFF}), 0xFFFEu);
  EXPECT_EQ(count({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}), 0xFFFFu);
  EXPECT_EQ(count({0xFF, 0xFF, 0x05, 0x00, 0x00, 0x00}), 5u);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0xFF, 0x05, 0x00}, [](ArchiveReader& r) { r.ReadListCount(); }),
            3);
}

TEST(ArchiveReader, SkipPayloadLocatesBytesWithoutReadingThem) {
  Bytes bytes = {0x11, 0x22, 0x10, 0x27, 0x00, 0x00};  // a word, then a 10000-byte payload
  bytes.resize(6 + 10000, 0xEE);
  bytes.push_back(0x44);
  bytes.push_back(0x33);
  MemoryFile inner(bytes);
  CountingFile file(inner);
  ArchiveReader reader(file, TestRegistry());
  EXPECT_EQ(reader.ReadWord(), 0x2211);
  PayloadRecord payload = reader.SkipPayload();
  EXPECT_EQ(payload.offset, 6u);
  EXPECT_EQ(payload.length, 10000u);
  EXPECT_EQ(reader.ReadWord(), 0x3344);
  EXPECT_LT(file.bytesRead, 4096u + 128u);  // the payload's bytes never came through
  reader.Close();
  EXPECT_EQ(file.Tell(), bytes.size());

  // A length of 0 locates an empty block right after the length.
  MemoryFile empty(Bytes{0, 0, 0, 0, 7, 0});
  ArchiveReader second(empty, TestRegistry());
  PayloadRecord none = second.SkipPayload();
  EXPECT_EQ(none.offset, 4u);
  EXPECT_EQ(none.length, 0u);
  EXPECT_EQ(second.ReadWord(), 7);
  // Read, it gives no bytes, and nothing is copied to the data of an empty vector (null).
  MemoryFile emptyRead(Bytes{0, 0, 0, 0, 7, 0});
  ArchiveReader third(emptyRead, TestRegistry());
  Bytes kept;
  EXPECT_EQ(third.ReadPayload(&kept, 100).length, 0u);
  EXPECT_TRUE(kept.empty());
  EXPECT_EQ(third.ReadWord(), 7);
  // Read with a limit, the first bytes are kept and the rest stepped over.
  MemoryFile limited(bytes);
  ArchiveReader fourth(limited, TestRegistry());
  fourth.ReadWord();
  EXPECT_EQ(fourth.ReadPayload(&kept, 3).length, 10000u);
  EXPECT_EQ(kept, Bytes(3, 0xEE));
  EXPECT_EQ(fourth.ReadWord(), 0x3344);
}

TEST(ArchiveReader, PayloadPastTheEndIsSkippedAndTheNextReadFails) {
  MemoryFile file(Bytes{0x00, 0x01, 0x00, 0x00, 1, 2, 3});
  ArchiveReader reader(file, TestRegistry());
  PayloadRecord payload = reader.SkipPayload();
  EXPECT_EQ(payload.offset, 4u);
  EXPECT_EQ(payload.length, 256u);
  try {
    reader.ReadWord();
    FAIL() << "reading past the end must fail";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.cause(), ArchiveCause::truncated);
  }
  // A length that one relative move cannot cover is refused outright.
  EXPECT_EQ(ArchiveCauseOf({0x00, 0x00, 0x00, 0x80}, [](ArchiveReader& r) { r.SkipPayload(); }), 3);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0xFF, 0xFF, 0x7F}, [](ArchiveReader& r) { r.SkipPayload(); }), 0);
}

TEST(ReferenceTable, RefusesEntriesBeyondTheHighestIndex) {
  ReferenceTable table(3);
  Leaf leaf;
  EXPECT_EQ(table.AddClass(&Leaf::kClass), 1u);
  EXPECT_EQ(table.AddObject(&leaf), 2u);
  EXPECT_EQ(table.AddObject(&leaf), 3u);
  EXPECT_EQ(table.AddObject(&leaf), 0u);
  EXPECT_EQ(table.HighestUsed(), 3u);
  EXPECT_TRUE(table.IsClass(1));
  EXPECT_FALSE(table.IsClass(2));
  EXPECT_EQ(ReferenceTable::kHighestIndex, 0x3FFFFFFDu);

  ReferenceTable big;
  for (uint32_t i = 1; i <= 1000; ++i) ASSERT_EQ(big.AddObject(&leaf), i);
  EXPECT_EQ(big.ObjectAt(1000), &leaf);
  EXPECT_EQ(big.ObjectAt(0), nullptr);
}

}  // namespace
