#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/payload_order.h"
#include "fingerprint.h"
#include "read_back.h"
#include "lz/szdd.h"
#include "manifest.h"
#include "model/document.h"
#include "pack.h"
#include "support/pe_builder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Compressible(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  static const char* const kWords[] = {"update ",    "version ",  "file ", "product ",
                                       "installed ", "previous ", "the ",  "new "};
  Bytes data;
  while (data.size() < size) {
    const char* word = kWords[random() % 8];
    while (*word && data.size() < size) data.push_back(static_cast<uint8_t>(*word++));
  }
  return data;
}

std::string ManifestError(const std::string& text) {
  try {
    ParseManifest(text, "");
  } catch (const ::ManifestError& e) {
    return e.what();
  }
  return "";
}

TEST(Manifest, ErrorsNameTheField) {
  const std::string head = R"({"format": 6, "product": "P", "defaultDirectory": "C:\\P",
                               "registry": ["a", "b", "c"], )";
  EXPECT_EQ(ManifestError("{").rfind("manifest is not valid JSON", 0), 0u);
  EXPECT_EQ(ManifestError(R"({"product": "P"})").rfind("format:", 0), 0u);
  EXPECT_EQ(ManifestError(R"({"format": 7, "product": "P"})").rfind("format:", 0), 0u);
  EXPECT_EQ(ManifestError(R"({"format": 6, "product": "P", "defaultDirectory": "D", "files": []})")
                .rfind("registry:", 0),
            0u);
  EXPECT_EQ(ManifestError(R"({"format": 5, "product": "P", "defaultDirectory": "D",
                              "registry": ["a", "b", "c"], "files": []})")
                .rfind("registry:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [], "sampleLength": 2000})").rfind("sampleLength:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [], "sampleCount": 0})").rfind("sampleCount:", 0), 0u);
  EXPECT_EQ(ManifestError(head + R"("files": [], "colour": 1})").rfind("colour: unknown", 0), 0u);
  EXPECT_EQ(ManifestError(head + R"("files": [{"name": "A.DLL", "new": "a"}]})")
                .rfind("files[0].directoryKind:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [{"name": "A.DLL", "directoryKind": "attic",
                                               "new": "a"}]})")
                .rfind("files[0].directoryKind:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [{"name": "BIN\\A.DLL", "directoryKind": 2,
                                               "new": "a"}]})")
                .rfind("files[0].name:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [{"name": "A.DLL", "directoryKind": "absolute",
                                               "new": "a"}]})")
                .rfind("files[0].directory:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [{"name": "A.DLL", "directoryKind": 2,
                                               "new": "a", "previous": [3]}]})")
                .rfind("files[0].previous[0]:", 0),
            0u);
  EXPECT_EQ(ManifestError(head + R"("files": [{"name": "A.DLL", "directoryKind": 2}]})")
                .rfind("files[0].new:", 0),
            0u);
  EXPECT_EQ(
      ManifestError(head + R"("description": "\u4e2d", "files": []})").rfind("description:", 0),
      0u);
  EXPECT_EQ(ManifestError(head + R"("description": "caf\u00e9 \u20ac", "files": []})"), "");
}

class UpdpackTest : public ::testing::Test {
 protected:
  // Two files: A.DLL with two previous versions (one shorter than the samples need) and
  // B.TXT, not selected by default, of kind absolute.
  void WriteProduct() {
    newA_ = Compressible(70000, 1);
    oldA1_ = Compressible(65000, 2);
    oldA2_ = Compressible(40, 3);
    newB_ = Compressible(1025, 4);
    fs::create_directories(fs::path(dir_.path()) / "v1");
    fs::create_directories(fs::path(dir_.path()) / "v2");
    dir_.Write("v2/A.DLL", newA_);
    dir_.Write("v1/A.DLL", oldA1_);
    dir_.Write("v1/A0.DLL", oldA2_);
    dir_.Write("v2/B.TXT", newB_);
    std::string manifest = R"({
      "format": 6, "product": "Demo", "description": "Demo 1.1 caf\u00e9",
      "failureMessage": "Ask the vendor.", "defaultDirectory": "C:\\DEMO",
      "registry": ["Maker", "Demo", "1.1"], "sampleCount": 4, "sampleLength": 16,
      "files": [
        {"component": "Library", "description": "The library", "name": "A.DLL",
         "directoryKind": "installation", "directory": "BIN", "new": "v2/A.DLL",
         "previous": ["v1/A.DLL", "v1/A0.DLL"]},
        {"name": "B.TXT", "selected": false, "directoryKind": "absolute",
         "directory": "C:\\DOCS", "new": "v2/B.TXT"}
      ]})";
    std::ofstream(fs::path(dir_.path()) / "demo.json") << manifest;
    manifest_ = ParseManifest(manifest, dir_.path());
    output_ = (fs::path(dir_.path()) / "demo.upd").string();
  }

  Bytes Stored(const CUpdateItem& item) {
    std::ifstream in(output_, std::ios::binary);
    in.seekg(item.payloadOffset);
    Bytes bytes(item.payloadLength);
    in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    return bytes;
  }

  Bytes FileBytes(uint32_t offset, size_t length) {
    std::ifstream in(output_, std::ios::binary);
    in.seekg(offset);
    Bytes bytes(length);
    in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    return bytes;
  }

  TempDir dir_;
  Bytes newA_, oldA1_, oldA2_, newB_;
  Manifest manifest_;
  std::string output_;
};

TEST_F(UpdpackTest, BuildWritesWhatTheReaderReadsBack) {
  WriteProduct();
  std::vector<std::string> progress;
  PackReport report;
  report.progress = [&](const std::string& line) { progress.push_back(line); };
  BuildUpdate(manifest_, output_, report);
  EXPECT_EQ(progress.size(), 2u);

  VEzorazEdo doc;
  {
    std::unique_ptr<CFile> file = OpenForReading(output_);
    doc.EnsureLoaded(*file);
  }
  EXPECT_EQ(doc.formatVersion, 6);
  EXPECT_EQ(doc.signature, "VLR.UPD");
  EXPECT_EQ(doc.productName, "Demo");
  EXPECT_EQ(doc.description, "Demo 1.1 caf\xE9");
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
  EXPECT_EQ(a.expectedStamp.versionMS, 0u);  // not a program: version 0.0
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
}

TEST_F(UpdpackTest, VerifyCatchesDamagedContents) {
  WriteProduct();
  BuildUpdate(manifest_, output_, PackReport());
  VEzorazEdo doc;
  {
    std::unique_ptr<CFile> file = OpenForReading(output_);
    doc.EnsureLoaded(*file);
  }
  // Turn every control byte into "eight literals": the stream then expands to a size
  // other than the expected one.
  Bytes stored = Stored(*doc.items[0]);
  ReverseBlocks(stored);
  std::fill(stored.begin() + kSzddHeaderSize, stored.end(), 0xFF);
  ReverseBlocks(stored);
  {
    std::fstream io(output_, std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(doc.items[0]->payloadOffset);
    io.write(reinterpret_cast<const char*>(stored.data()), stored.size());
  }
  std::ostringstream verdicts;
  EXPECT_FALSE(VerifyUpdate(output_, verdicts));
  EXPECT_NE(verdicts.str().find("1 A.DLL: FAILED"), std::string::npos) << verdicts.str();
  EXPECT_NE(verdicts.str().find("2 B.TXT: ok"), std::string::npos) << verdicts.str();
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

  Manifest empty = manifest_;
  dir_.Write("v2/EMPTY.DLL", {});
  empty.files[1].newPath = dir_.path() + "/v2/EMPTY.DLL";
  EXPECT_THROW(BuildUpdate(empty, output_, PackReport()), PackError);

  // An output that cannot be written: no file, no temporary left behind.
  std::string noDir = dir_.path() + "/no/such/dir/out.upd";
  EXPECT_THROW(BuildUpdate(manifest_, noDir, PackReport()), PackError);
  std::string isDir = dir_.path() + "/v1";
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

}  // namespace

namespace {

// The manifest the vendor documentation shows is a real one: it builds and verifies.
TEST(DocumentedExample, BuildsListsAndVerifies) {
  TempDir dir;
  std::ifstream in(std::string(VARERI_SOURCE_DIR) + "/docs/example/manifest.json");
  ASSERT_TRUE(in.good());
  std::stringstream text;
  text << in.rdbuf();
  Manifest manifest = ParseManifest(text.str(), dir.path());
  ASSERT_EQ(manifest.files.size(), 3u);
  const struct {
    const char* release;
    uint32_t ms, ls;
  } releases[] = {
      {"2.0", 0x00020000, 0}, {"2.0.1", 0x00020000, 0x00010000}, {"2.1", 0x00020001, 0}};
  uint32_t seed = 1;
  for (const auto& release : releases) {
    fs::create_directories(fs::path(dir.path()) / release.release);
    for (const char* name : {"TALLY.EXE", "TREPORT.DLL", "TCTRL32.DLL"}) {
      PeImagePlan plan;
      plan.versionMS = release.ms;
      plan.versionLS = release.ls;
      Bytes image = BuildPeImage(plan).bytes;
      Bytes filler = Compressible(5000 + 100 * seed, seed);
      ++seed;
      image.insert(image.end(), filler.begin(), filler.end());
      dir.Write(std::string(release.release) + "/" + name, image);
    }
  }
  std::string output = dir.path() + "/tally-2.1.upd";
  BuildUpdate(manifest, output, PackReport());
  std::ostringstream listing, verdicts;
  ListUpdate(output, listing);
  EXPECT_NE(listing.str().find("Software\\Example Vendor\\Tally\\2.0"), std::string::npos);
  EXPECT_NE(listing.str().find("2.1.0.0"), std::string::npos) << listing.str();
  EXPECT_NE(listing.str().find("Shared controls (not selected)"), std::string::npos);
  EXPECT_TRUE(VerifyUpdate(output, verdicts)) << verdicts.str();
}

}  // namespace
