// Building update files: what the reader reads back, inputs that cannot be built, the same
// bytes on any number of threads, and the format's 32-bit limits.
#include "pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "lz/szdd.h"
#include "model/document.h"
#include "model/payload_order.h"
#include "read_back.h"
#include "updpack_fixture.h"
#include "writer/fingerprint.h"

namespace {

namespace fs = std::filesystem;

TEST_F(UpdpackTest, BuildWritesWhatTheReaderReadsBack) {
  WriteProduct();
  std::vector<std::string> progress, warnings;
  PackReport report;
  report.progress = [&](const std::string& line) { progress.push_back(line); };
  report.warning = [&](const std::string& line) { warnings.push_back(line); };
  BuildUpdate(manifest_, output_, report);
  EXPECT_EQ(progress.size(), 2u);
  EXPECT_TRUE(warnings.empty());
  manifest_.description = std::string(600, 'x');
  BuildUpdate(manifest_, output_, report);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("description: about 10 lines", 0), 0u) << warnings[0];

  VEzorazEdo doc;
  {
    std::unique_ptr<CFile> file = OpenForReading(output_);
    doc.EnsureLoaded(*file);
  }
  EXPECT_EQ(doc.formatVersion, 6);
  EXPECT_EQ(doc.signature, "VLR.UPD");
  EXPECT_EQ(doc.productName, "Demo");
  EXPECT_EQ(doc.failureMessage, "Ask the vendor.");
  EXPECT_EQ(doc.description, std::string(600, 'x'));
  EXPECT_EQ(doc.defaultDirectory, "C:\\DEMO");
  EXPECT_EQ(doc.registryPath[2], "1.1");
  EXPECT_EQ(doc.sampleCount, 4);
  EXPECT_EQ(doc.sampleLength, 16);
  ASSERT_EQ(doc.items.size(), 2u);

  const CUpdateItem& a = *doc.items[0];
  EXPECT_EQ(a.componentName, "Library");
  EXPECT_EQ(a.fileName, "A.DLL");
  EXPECT_EQ(a.directoryKind, 2);
  EXPECT_EQ(a.directory, "BIN");
  EXPECT_TRUE(a.selected);
  EXPECT_EQ(a.expectedStamp.size, newA_.size());
  EXPECT_EQ(a.expectedStamp.versionMS, 0x00010001u);
  EXPECT_NE(a.expectedStamp.modified, 0u);
  // The stored contents are the compressed file in reversed 1024-byte blocks.
  Bytes stored = Stored(a);
  ReverseBlocks(stored);
  ASSERT_GE(stored.size(), kSzddHeaderSize);
  EXPECT_TRUE(std::equal(kSzddSignature, kSzddSignature + 8, stored.begin()));
  EXPECT_EQ(stored[9], 'L');  // the file name's last character
  Bytes expanded;
  MemorySource source(stored.data(), stored.size());
  VectorSink sink(expanded);
  EXPECT_TRUE(SzddExpand(source, sink).ok);
  EXPECT_EQ(expanded, newA_);
  EXPECT_LT(stored.size(), newA_.size() / 2);

  ASSERT_EQ(a.previousVersions.size(), 2u);
  const Bytes* olds[] = {&oldA1_, &oldA2_};
  for (size_t k = 0; k < 2; ++k) {
    const CUpdateOrder& order = *a.previousVersions[k];
    EXPECT_EQ(order.stamp.size, olds[k]->size());
    EXPECT_EQ(order.fingerprintLength, 4u * (16 + 4));
    EXPECT_EQ(FileBytes(order.fingerprintOffset, order.fingerprintLength),
              ComputeFingerprint(*olds[k], 4, 16));
  }

  const CUpdateItem& b = *doc.items[1];
  EXPECT_FALSE(b.selected);
  EXPECT_EQ(b.directoryKind, 3);
  EXPECT_EQ(b.directory, "C:\\DOCS");
  EXPECT_TRUE(b.previousVersions.empty());

  std::ostringstream listing;
  ListUpdate(output_, listing);
  EXPECT_NE(listing.str().find("Software\\Maker\\Demo\\1.1"), std::string::npos);
  EXPECT_NE(listing.str().find("A.DLL"), std::string::npos);
  EXPECT_NE(listing.str().find("(not selected)"), std::string::npos);
  std::ostringstream verdicts;
  EXPECT_TRUE(VerifyUpdate(output_, verdicts)) << verdicts.str();

  // A file the update adds is selected only where its record is read: a reader of the
  // document alone, which knows replacements only, leaves it alone. The record tells it also
  // with no entry known by its bytes. A program without a version resource is built as
  // version 0.0, with a warning.
  manifest_.description.clear();
  manifest_.files.resize(1);
  manifest_.files[0].action = EntryAction::add;
  manifest_.files[0].previousPaths.clear();
  manifest_.files[0].newPath = dir_.Write("NOVER.DLL", {'M', 'Z', 0, 0});
  warnings.clear();
  BuildUpdate(manifest_, output_, report);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("files[0].new: no version resource could be read", 0), 0u)
      << warnings[0];
  std::unique_ptr<CFile> file = OpenForReading(output_);
  VEzorazEdo plain, loaded;
  ArchiveReader reader(*file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
  plain.ReadFields(reader);
  reader.Close();
  EXPECT_FALSE(plain.items[0]->selected);
  loaded.EnsureLoaded(*file);
  EXPECT_TRUE(loaded.items[0]->selected);
}

TEST_F(UpdpackTest, BadInputsFailCleanlyAndLeaveNoOutput) {
  WriteProduct();
  Manifest missing = manifest_;
  missing.files[0].previousPaths.push_back(dir_.path() + "/v1/NOPE.DLL");
  try {
    BuildUpdate(missing, output_, PackReport());
    FAIL() << "a missing input must fail";
  } catch (const PackError& e) {
    EXPECT_NE(std::string(e.what()).find("files[0].previous[2]"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(output_));

  // A text file changed between releases: both are 0.0.0.0, so only the record's exact
  // identities tell them apart; a plain file, which has none, would never replace it.
  Manifest textChanged = manifest_;
  textChanged.files[1].previousPaths.push_back(Put("donn\u00e9es/v1/B.TXT", Compressible(900, 5)));
  BuildOptions plain;
  plain.plain = true;
  try {
    BuildUpdate(textChanged, output_, PackReport(), plain);
    FAIL() << "a change the updater cannot see must fail";
  } catch (const PackError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("files[1].previous[0]: neither", 0), 0u) << e.what();
  }
  EXPECT_FALSE(fs::exists(output_));
  Manifest exact = manifest_;
  exact.files[0].exact = true;
  try {
    BuildUpdate(exact, output_, PackReport(), plain);
    FAIL() << "a match by bytes in a plain file must fail";
  } catch (const PackError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("files[0].match: this needs the integrity record", 0), 0u)
        << e.what();
  }
  BuildUpdate(textChanged, output_, PackReport());
  std::ostringstream listing;
  ListUpdate(output_, listing);
  EXPECT_NE(listing.str().find("replace,exact"), std::string::npos) << listing.str();
  fs::remove(output_);
  // Known by its bytes, the same previous version listed twice is told apart from nothing.
  textChanged.files[1].previousPaths.push_back(textChanged.files[1].previousPaths[0]);
  try {
    BuildUpdate(textChanged, output_, PackReport());
    FAIL() << "a previous version listed twice must fail";
  } catch (const PackError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("files[1].previous[1]: the same file as previous[0]", 0),
              0u)
        << e.what();
  }

  Manifest empty = manifest_;
  empty.files[1].newPath = dir_.Write("EMPTY.DLL", {});
  EXPECT_THROW(BuildUpdate(empty, output_, PackReport()), PackError);

  // An output that cannot be written: no file, no temporary left behind.
  std::string noDir = dir_.path() + "/no/such/dir/out.upd";
  EXPECT_THROW(BuildUpdate(manifest_, noDir, PackReport()), PackError);
  std::string isDir = dir_.path() + "/sub";
  fs::create_directories(isDir);
  EXPECT_THROW(BuildUpdate(manifest_, isDir, PackReport()), PackError);
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
  // An earlier good output survives a failed rebuild.
  BuildUpdate(manifest_, output_, PackReport());
  uintmax_t size = fs::file_size(output_);
  EXPECT_THROW(BuildUpdate(missing, output_, PackReport()), PackError);
  EXPECT_EQ(fs::file_size(output_), size);
}

// Files are compressed on several threads, a few entries ahead, large contents waiting in
// scratch files: the output is the same bytes whatever the number of threads, an error names
// the first entry in manifest order, and no scratch file stays behind.
TEST_F(UpdpackTest, OutputIsTheSameWhateverTheThreads) {
  WriteProduct();
  for (int k = 0; k < 12; ++k) {
    ManifestFile extra = manifest_.files[1];
    extra.name = "EXTRA" + std::to_string(k) + ".TXT";
    extra.newPath = Put("donn\u00e9es/v2/" + extra.name, Compressible(3000 + 2000 * k, 10 + k));
    manifest_.files.push_back(extra);
  }
  BuildOptions one;
  one.jobs = 1;
  BuildUpdate(manifest_, output_, PackReport(), one);
  const Bytes expected = FileBytes(0, fs::file_size(output_));
  BuildOptions four;
  four.jobs = 4;
  four.aheadMemory = 8 * 1024;  // about a kilobyte each: nearly everything goes to scratch
  std::vector<std::string> progress;
  PackReport report;
  report.progress = [&](const std::string& line) { progress.push_back(line); };
  BuildUpdate(manifest_, output_, report, four);
  EXPECT_TRUE(FileBytes(0, fs::file_size(output_)) == expected);
  ASSERT_EQ(progress.size(), manifest_.files.size());
  EXPECT_EQ(progress[5].rfind("EXTRA3.TXT ", 0), 0u) << progress[5];

  Manifest broken = manifest_;
  broken.files[9].newPath += ".gone";
  broken.files[4].newPath += ".gone";
  for (unsigned jobs : {1u, 4u}) {
    four.jobs = jobs;
    try {
      BuildUpdate(broken, output_, PackReport(), four);
      ADD_FAILURE() << "a missing file must fail";
    } catch (const PackError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("files[4].new: cannot read", 0), 0u) << e.what();
    }
  }
  EXPECT_TRUE(FileBytes(0, fs::file_size(output_)) == expected);
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
  }
}

// The format's 32-bit sizes and offsets, lowered: a file, a stored payload and the update
// file may reach the limit but not pass it, and the refusal names what would pass it.
TEST_F(UpdpackTest, RefusesWhatPassesTheFormatsLimits) {
  WriteProduct();
  BuildOptions plain;
  plain.plain = true;
  BuildUpdate(manifest_, output_, PackReport(), plain);
  const uint64_t plainSize = fs::file_size(output_);
  BuildUpdate(manifest_, output_, PackReport());
  const uint64_t size = fs::file_size(output_);
  VEzorazEdo doc;
  {
    std::unique_ptr<CFile> file = OpenForReading(output_);
    doc.EnsureLoaded(*file);
  }
  const uint64_t storedA = doc.items[0]->payloadLength;
  const std::string a = "files[0].new: " + manifest_.files[0].newPath;
  const std::string b = "files[1].new: " + manifest_.files[1].newPath;
  const uint64_t fileA = newA_.size();
  const struct {
    FormatLimits limits;
    bool plain;
    std::string refusal;  // the message's start; "" when the build succeeds
    uint64_t passed;      // the limit the message names
  } rows[] = {
      {{fileA, storedA, size}, false, "", 0},
      {{fileA - 1, storedA, size}, false, a + " has 70000 bytes; an update file ", fileA - 1},
      {{fileA, storedA - 1, size}, false, a + " compresses to more than", storedA - 1},
      {{fileA, storedA, size - 1}, false, "the integrity record: with it the update", size - 1},
      {{fileA, storedA, plainSize}, true, "", 0},
      {{fileA, storedA, plainSize - 5}, true, b + ": with it the update file", plainSize - 5},
  };
  uint64_t kept = size;
  for (const auto& row : rows) {
    BuildOptions options;
    options.plain = row.plain;
    options.limits = row.limits;
    std::string error;
    try {
      BuildUpdate(manifest_, output_, PackReport(), options);
      kept = row.plain ? plainSize : size;
    } catch (const PackError& e) {
      error = e.what();
    }
    EXPECT_EQ(error.rfind(row.refusal, 0), 0u) << error;
    EXPECT_EQ(error.empty(), row.refusal.empty()) << error;
    EXPECT_EQ(error.find(" " + std::to_string(row.passed) + " bytes") == std::string::npos,
              error.empty())
        << error;
    EXPECT_EQ(fs::file_size(output_), kept) << error;
  }
}

}  // namespace
