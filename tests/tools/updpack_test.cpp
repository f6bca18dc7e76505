#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "entry_checks.h"
#include "lz/szdd.h"
#include "manifest.h"
#include "model/document.h"
#include "model/payload_order.h"
#include "pack.h"
#include "read_back.h"
#include "session/header_check.h"
#include "support/pe_builder.h"
#include "support/temp_dir.h"
#include "writer/fingerprint.h"

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

// A program of `size` bytes with file version `versionMS`.0.0.
Bytes Program(uint32_t versionMS, size_t size, uint32_t seed) {
  PeImagePlan plan;
  plan.versionMS = versionMS;
  plan.versionLS = 0;
  Bytes image = BuildPeImage(plan).bytes;
  Bytes filler = Compressible(size - image.size(), seed);
  image.insert(image.end(), filler.begin(), filler.end());
  return image;
}

std::string ManifestError(const std::string& text) {
  try {
    ParseManifest(text, "");
  } catch (const ::ManifestError& e) {
    return e.what();
  }
  return "";
}

// A format 6 manifest with the file entries `files` and the header fields `more`.
std::string WithFiles(const std::string& files, const std::string& more = "") {
  return R"({"format": 6, "product": "P", "defaultDirectory": "C:\\P", "registry": ["a", "b", "c"], )" +
         more + R"("files": [)" + files + "]}";
}

std::string Entry(const std::string& name, const std::string& kind = "installation",
                  const std::string& directory = "") {
  return R"({"name": ")" + name + R"(", "directoryKind": ")" + kind + R"(", "directory": ")" +
         directory + R"(", "new": "n"})";
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

TEST(Manifest, RefusesWhatWindowsCannotStoreOrRenamingWouldDestroy) {
  const std::pair<std::vector<std::string>, const char*> names[] = {
      {{".", ".."}, "step in a path"},
      {{"CON", "nul.txt", "Com1.dll", "LPT9", "COM\\u00b9.TXT", "com\\u00b2", "LPT\\u00b3.DLL",
        "AUX .txt", "CONOUT$", "CONIN$.TXT"},
       "device name"},
      {{"A.DLL.", "A.DLL "}, "ends in a dot or a space"},
      {{"A<B", "A>B", "A:B", "A\\\"B", "A|B", "A?B", "A*B"}, "contains \""},
      {{"A\\u0009B"}, "contains the control character 0x09"},
      {{std::string(256, 'A')}, "longer than 255"},
      {{"COM10", "CONSOLE.DLL", std::string(255, 'A')}, ""},
  };
  for (const auto& [list, says] : names) {
    for (const std::string& name : list) {
      std::string error = ManifestError(WithFiles(Entry(name)));
      EXPECT_EQ(error.empty(), *says == 0) << name << ": " << error;
      EXPECT_TRUE(!*says ||
                  (error.rfind("files[0].name: ", 0) == 0 && error.find(says) != std::string::npos))
          << error;
    }
  }
  const std::string longDirectory = "C:\\\\" + std::string(250, 'D');
  const struct {
    std::string manifest;
    const char* field;  // the message's start; "" for a manifest that parses
    const char* says;
  } rows[] = {
      {WithFiles(Entry("A.DLL", "installation", "..\\\\X")), "files[0].directory:", "climbs out"},
      {WithFiles(Entry("A.DLL", "installation", "BIN/../../X")),
       "files[0].directory:", "climbs out"},
      {WithFiles(Entry("A.DLL", "installation", "C:\\\\X")),
       "files[0].directory:", "not a full path"},
      {WithFiles(Entry("A.DLL", "installation", "BIN\\\\PRN")),
       "files[0].directory:", "\"PRN\" is a device"},
      {WithFiles(Entry("A.DLL", "installation", "BIN\\\\SUB\\\\")), "", ""},
      {WithFiles(Entry("A.DLL", "absolute", "DATA")), "files[0].directory:", "full directory"},
      {WithFiles(Entry("A.DLL", "absolute", "C:DATA")), "files[0].directory:", "full directory"},
      {WithFiles(Entry("A.DLL", "absolute", "C:\\\\DATA:alt")), "files[0].directory:", "stream"},
      {WithFiles(Entry("A.DLL", "absolute", "\\\\\\\\SRV\\\\S:x")),
       "files[0].directory:", "stream"},
      {WithFiles(Entry("A.DLL", "absolute", "C:\\\\A|B")), "files[0].directory:", "contains \"|\""},
      {WithFiles(Entry("A.DLL", "absolute", longDirectory)),
       "files[0].directory:", "longer than 255"},
      {WithFiles(Entry("A.DLL", "absolute", "\\\\\\\\SRV\\\\SHARE")), "", ""},
      {WithFiles(Entry("A.DLL", "absolute", "d:/DOCS")), "", ""},
      {WithFiles(Entry("A.DLL") + "," + Entry("a.dll")), "files[1].name:", "files[0] too"},
      {WithFiles(Entry("\\u0161\\u0153\\u017e\\u00ff\\u00e9") + "," +
                 Entry("\\u0160\\u0152\\u017d\\u0178\\u00c9")),
       "files[1].name:", "files[0] too"},
      {WithFiles(Entry("A.DLL", "installation", "BIN") + "," +
                 Entry("A.DLL", "installation", "bin/")),
       "files[1].name:", "files[0] too"},
      {WithFiles(Entry("A.TXT") + "," + Entry("a.tx_")),
       "files[1].name:", "backup name of files[0]"},
      {WithFiles(Entry("A.TX_") + "," + Entry("A.TXT")), "files[1].name:", "its backup name A.TX_"},
      {WithFiles(Entry("A.DLL", "windows") + "," + Entry("A.DLL", "system")), "", ""},
      {WithFiles(Entry("A.DLL", "windows", "X") + "," + Entry("A.DLL", "windows", "Y")),
       "files[1].name:", "files[0] too"},
      {WithFiles(Entry("\\u00f7") + "," + Entry("\\u00d7")), "", ""},
      {WithFiles(Entry("A.TXT", "installation", "BIN") + "," + Entry("A.TX_")), "", ""},
      {WithFiles(R"({"name": "A", "name": "B", "directoryKind": 2, "new": "n"})"),
       "files[0].name:", "appears twice"},
      {WithFiles(Entry("A") + R"(, {"name": "B", "directoryKind": 2, "new": "n", "new": "m"})"),
       "files[1].new:", "appears twice"},
      {WithFiles("", R"("product": "Q", )"), "product:", "appears twice"},
      {WithFiles(R"(3, {"name": "A", "name": "B"})"), "files[1].name:", "appears twice"},
      {R"({"format": 6, "product": "P", "defaultDirectory": "D", "registry": ["a", "b\u0000", "c"],
          "files": []})",
       "registry[1]:", "NUL"},
      {WithFiles("", R"("description": "\u4e2d", )"), "description:", "\"\xE4\xB8\xAD\" (U+4E2D)"},
      {WithFiles("", R"("failureMessage": "<fill in: text>", )"), "failureMessage:", "still holds"},
      {R"({"format": 6, "product": "P", "defaultDirectory": "D", "registry": ["<fill in: a>", "b",
          "c"], "files": []})",
       "registry[0]:", "still holds"},
      {WithFiles(R"({"name": "A", "component": "<fill in: c>", "directoryKind": 2, "new": "n"})"),
       "files[0].component:", "still holds"},
  };
  for (const auto& row : rows) {
    std::string error = ManifestError(row.manifest);
    EXPECT_EQ(error.empty(), *row.field == 0) << row.manifest << "\n" << error;
    EXPECT_EQ(error.rfind(row.field, 0), 0u) << row.manifest << "\n" << error;
    EXPECT_NE(error.find(row.says), std::string::npos) << row.manifest << "\n" << error;
  }
}

TEST(Manifest, TheDescriptionIsCrLfTextThatFitsTheWindow) {
  Manifest m = ParseManifest(WithFiles("", R"("description": "a\nb\r\nc\rd", )"), "");
  EXPECT_EQ(m.description, "a\r\nb\r\nc\r\nd");
  auto lines = [](int count, size_t length) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "\r\n" : "") + std::string(length, 'x');
    return text;
  };
  const struct {
    std::string description;
    const char* warning;
  } rows[] = {
      {"", ""},
      {lines(9, 60), ""},
      {lines(10, 0), "description: about 10 lines"},
      {lines(9, 61), "description: about 18 lines"},
      {std::string(540, 'x'), ""},
      {std::string(541, 'x'), "description: about 10 lines"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DescriptionWarning(row.description).rfind(row.warning, 0), 0u) << row.description;
    EXPECT_EQ(DescriptionWarning(row.description).empty(), *row.warning == 0) << row.description;
  }
}

TEST(EntryChecks, PreviousVersionsTheUpdaterCanTellApartAndReplace) {
  const uint32_t v10 = 0x00010000, v11 = 0x00010001, v20 = 0x00020000;
  const struct {
    uint32_t expected, previous, size;
    uint16_t count, length;
    const char* says;  // "" when accepted
    int listed = 0;    // 1: already listed; 2: listed with the same stamp, other samples
  } rows[] = {
      {v11, v10, 46080, 8, 16, ""},
      {v11, v10, 46080, 8, 16, "the same previous version as previous[0]", 1},
      {v11, v10, 46080, 8, 16, "", 2},
      {v11, v10, 256, 8, 16, ""},
      {v11, v10, 46080, 65535, 1024,
       "overlap and check less than they seem to; use sampleCount 22 or less"},
      {v11, v10, 46080, 30000, 16, "use sampleCount 1440 or less"},
      {v11, v10, 255, 8, 16, "use sampleCount 7 or less, or sampleLength 15 or less"},
      {v11, v10, 20, 8, 16, "use sampleLength 1 or less"},
      {v11, v10, 10, 8, 16, "use sampleCount 1 with sampleLength 5 or less"},
      {v11, v10, 1, 1, 0, "too small to be sampled"},
      {v11, v11, 46080, 8, 16, "its version 1.1.0.0 is not older than the new version 1.1.0.0"},
      {v11, v20, 46080, 8, 16, "give the new file a higher version"},
      {0, 0, 46080, 8, 16, "give the file a version resource, or leave the entry out"},
  };
  for (const auto& row : rows) {
    ItemPlan item;
    item.expectedStamp.versionMS = row.expected;
    OrderPlan order;
    order.stamp = {row.size, 1, row.previous, 0};
    order.fingerprint = {1, 2, 3};
    if (row.listed) item.previousVersions = {order};
    if (row.listed == 2) item.previousVersions[0].fingerprint[2] = 4;
    order.stamp.modified = 2;  // the time tells nothing apart
    std::string error;
    try {
      CheckPrevious(item, order, {row.count, row.length}, "files[2].previous[1]");
    } catch (const PackError& e) {
      error = e.what();
    }
    EXPECT_EQ(error.empty(), *row.says == 0) << row.says << "\n" << error;
    if (*row.says) {
      EXPECT_EQ(error.rfind("files[2].previous[1]: ", 0), 0u) << error;
      EXPECT_NE(error.find(row.says), std::string::npos) << error;
    }
  }
}

TEST(EntryChecks, FittingSamplesStayApart) {
  const struct {
    uint32_t size;
    SampleParameters wanted, fitting;
  } rows[] = {
      {46080, {8, 16}, {8, 16}}, {255, {8, 16}, {7, 16}}, {10, {8, 16}, {1, 5}},
      {100, {8, 0}, {8, 0}},     {5, {8, 0}, {2, 0}},     {1, {8, 16}, {0, 0}},
  };
  for (const auto& row : rows) {
    SampleParameters got = FittingSamples(row.size, row.wanted);
    EXPECT_EQ(got.count, row.fitting.count) << row.size;
    EXPECT_EQ(got.length, row.fitting.length) << row.size;
    EXPECT_TRUE(got.count == 0 || SamplesFit(row.size, got)) << row.size;
  }
}

class UpdpackTest : public ::testing::Test {
 protected:
  // Two files, in folders whose names are not ASCII (which the Windows build must open by
  // their UTF-8 names): A.DLL, a program with two previous versions, and B.TXT, not
  // selected by default, of kind absolute.
  void WriteProduct() {
    newA_ = Program(0x00010001, 70000, 1);
    oldA1_ = Program(0x00010000, 65000, 2);
    oldA2_ = Program(0x00010000, 3000, 3);
    newB_ = Compressible(1025, 4);
    Put("donn\u00e9es/v2/A.DLL", newA_);
    Put("donn\u00e9es/v1/A.DLL", oldA1_);
    Put("donn\u00e9es/v1/A0.DLL", oldA2_);
    Put("donn\u00e9es/v2/B.TXT", newB_);
    std::string manifest = R"({
      "format": 6, "product": "Demo", "description": "Demo 1.1 caf\u00e9",
      "failureMessage": "Ask the vendor.", "defaultDirectory": "C:\\DEMO",
      "registry": ["Maker", "Demo", "1.1"], "sampleCount": 4, "sampleLength": 16,
      "files": [
        {"component": "Library", "description": "The library", "name": "A.DLL",
         "directoryKind": "installation", "directory": "BIN", "new": "donn\u00e9es/v2/A.DLL",
         "previous": ["donn\u00e9es/v1/A.DLL", "donn\u00e9es/v1/A0.DLL"]},
        {"name": "B.TXT", "selected": false, "directoryKind": "absolute",
         "directory": "C:\\DOCS", "new": "donn\u00e9es/v2/B.TXT"}
      ]})";
    manifest_ = ParseManifest(manifest, dir_.path());
    output_ = (fs::path(dir_.path()) / "demo.upd").string();
  }

  // Writes `bytes` under the UTF-8 name `relative` and returns the full name, UTF-8.
  std::string Put(const std::string& relative, const Bytes& bytes) {
    fs::path path = fs::u8path(dir_.path()) / fs::u8path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.u8string();
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

  // A text file changed between releases: both are 0.0.0.0, so it would never be replaced.
  Manifest textChanged = manifest_;
  textChanged.files[1].previousPaths.push_back(Put("donn\u00e9es/v1/B.TXT", Compressible(900, 5)));
  try {
    BuildUpdate(textChanged, output_, PackReport());
    FAIL() << "a change the updater cannot see must fail";
  } catch (const PackError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("files[1].previous[0]: neither", 0), 0u) << e.what();
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

TEST_F(UpdpackTest, ListAndVerifyRefuseWhatTheUpdaterRefusesInItsWords) {
  DocumentPlan tooNew, tooOld;
  tooNew.formatVersion = 7;
  tooOld.formatVersion = 4;
  const std::pair<Bytes, HeaderRefusal> rows[] = {
      {Compressible(800, 6), HeaderRefusal::notUpdateFile},
      {WriteDocument(tooNew), HeaderRefusal::formatTooNew},
      {WriteDocument(tooOld), HeaderRefusal::formatTooOld},
  };
  auto refusal = [](const std::function<void()>& read) -> std::string {
    try {
      read();
    } catch (const PackError& e) {
      return e.what();
    }
    return "";
  };
  for (const auto& [bytes, why] : rows) {
    std::string path = dir_.Write("not.upd", bytes);
    std::ostringstream out;
    EXPECT_EQ(refusal([&] { ListUpdate(path, out); }), path + ": " + RefusalMessage(why));
    EXPECT_EQ(refusal([&] { VerifyUpdate(path, out); }), path + ": " + RefusalMessage(why));
  }
}

}  // namespace

namespace {

// The manifest the vendor documentation shows is a real one: it builds from the release
// files beside it, lists and verifies.
TEST(DocumentedExample, BuildsListsAndVerifies) {
  TempDir dir;
  const std::string example = std::string(VARERI_SOURCE_DIR) + "/docs/example";
  std::ifstream in(example + "/manifest.json");
  ASSERT_TRUE(in.good());
  std::stringstream text;
  text << in.rdbuf();
  Manifest manifest = ParseManifest(text.str(), example);
  ASSERT_EQ(manifest.files.size(), 3u);
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
