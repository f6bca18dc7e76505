#include "platform/file.h"

#include <gtest/gtest.h>

#include "model/document.h"
#include "platform/exceptions.h"
#include "support/temp_dir.h"
#include "writer/document_writer.h"

namespace {

TEST(PlatformFile, ReadsTellsAndSeeks) {
  TempDir dir;
  std::vector<uint8_t> bytes(10000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13);
  std::string path = dir.Write("data.bin", bytes);
  std::unique_ptr<CFile> file = OpenForReading(path);
  EXPECT_EQ(file->Length(), 10000u);
  EXPECT_NE(file->FullPath().find("data.bin"), std::string::npos);
  uint8_t buffer[100];
  EXPECT_EQ(file->Read(buffer, 100), 100u);
  EXPECT_EQ(buffer[99], static_cast<uint8_t>(99 * 13));
  EXPECT_EQ(file->Tell(), 100u);
  EXPECT_EQ(file->SeekRelative(-50), 50u);
  EXPECT_EQ(file->Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], static_cast<uint8_t>(50 * 13));
  EXPECT_EQ(file->SeekAbsolute(9990), 9990u);
  EXPECT_EQ(file->Read(buffer, 100), 10u);
  EXPECT_EQ(file->Read(buffer, 100), 0u);
  EXPECT_EQ(file->SeekRelative(5000), 15000u);  // past the end is allowed
  EXPECT_EQ(file->Read(buffer, 100), 0u);
  // At an offset, in the backend's one call and in memory alike: fewer bytes at the end.
  MemoryFile memory(bytes);
  for (CFile* at : {file.get(), static_cast<CFile*>(&memory)}) {
    EXPECT_EQ(at->ReadAt(9995, buffer, 100), 5u);
    EXPECT_EQ(buffer[4], static_cast<uint8_t>(9999 * 13));
    EXPECT_EQ(at->ReadAt(10000, buffer, 100), 0u);
    EXPECT_EQ(at->ReadAt(20000, buffer, 100), 0u);
  }
  file->SeekAbsolute(10);
  try {
    file->SeekRelative(-11);
    FAIL() << "moving before the start must be refused";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), FileCause::badSeek);
    EXPECT_NE(e.osError(), 0);
  }
}

TEST(PlatformFile, OpenAllowsNoSharingAndReportsMissingFiles) {
  TempDir dir;
  std::string path = dir.Write("locked.upd", {1, 2, 3});
  {
    std::unique_ptr<CFile> first = OpenForReading(path);
    try {
      OpenForReading(path);
      FAIL() << "a second open must fail while the first lasts";
    } catch (const CFileException& e) {
      EXPECT_EQ(e.cause(), FileCause::sharingViolation) << e.what();
    }
  }
  EXPECT_NO_THROW(OpenForReading(path));
  try {
    OpenForReading(dir.path() + "/missing.upd");
    FAIL() << "a missing file must fail";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), FileCause::fileNotFound) << e.what();
    EXPECT_EQ(e.osError(), 2);  // ERROR_FILE_NOT_FOUND and ENOENT alike
    EXPECT_NE(std::string(e.what()).find("missing.upd"), std::string::npos);
  }
}

TEST(PlatformFile, LoadsADocumentFromDisk) {
  TempDir dir;
  DocumentPlan plan;
  plan.formatVersion = 6;
  plan.productName = "Demo";
  ItemPlan item;
  item.fileName = "A.DLL";
  item.payload = std::vector<uint8_t>(20000, 0x5A);
  plan.items.push_back(item);
  plan.items.push_back(item);
  plan.sampleCount = 3;
  DocumentOffsets offsets;
  std::vector<uint8_t> bytes = WriteDocument(plan, &offsets);
  std::unique_ptr<CFile> file = OpenForReading(dir.Write("demo.upd", bytes));
  file->SeekAbsolute(100);
  VEzorazEdo doc;
  doc.EnsureLoaded(*file);
  ASSERT_EQ(doc.items.size(), 2u);
  EXPECT_EQ(doc.items[1]->payloadOffset, offsets.payloadOffsets[1]);
  EXPECT_EQ(doc.sampleCount, 3);
  EXPECT_EQ(file->Tell(), bytes.size());
}

}  // namespace
