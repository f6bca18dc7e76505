// Reading update files back: verify catches damaged contents, list and verify refuse what the
// updater refuses in its words, and the documented example builds, lists and verifies.
#include "read_back.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "lz/szdd.h"
#include "model/document.h"
#include "model/payload_order.h"
#include "pack.h"
#include "session/header_check.h"
#include "updpack_fixture.h"

namespace {

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

  // Cut inside its integrity record, it is no file without one.
  std::filesystem::resize_file(output_, std::filesystem::file_size(output_) - 8);
  std::ostringstream cut;
  EXPECT_FALSE(VerifyUpdate(output_, cut));
  EXPECT_NE(cut.str().find("integrity record, which has been cut short"), std::string::npos)
      << cut.str();
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
