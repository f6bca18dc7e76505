// updpack init over release folders: how it pairs files, what it leaves out and reports,
// and a manifest that, once its placeholders are filled in, updates the oldest release.
#include "init.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "engine/engine_fixture.h"
#include "manifest.h"
#include "pack.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class InitTest : public EngineTest {
 protected:
  std::string Folder(const std::string& release) const {
    return dir_.path() + "/releases/" + release;
  }
  void Release(const std::string& release, const std::map<std::string, Bytes>& files) {
    for (const auto& [name, bytes] : files)
      Install(Win("releases\\" + release + "\\" + name), bytes);
  }
  static json Read(const std::string& path) { return json::parse(std::ifstream(path)); }
  // Every placeholder replaced, as the vendor would.
  static void FillIn(json& value) {
    if (value.is_string() && value.get<std::string>().rfind(kPlaceholder, 0) == 0) {
      value = "Filled in";
    }
    if (value.is_structured()) {
      for (json& child : value) FillIn(child);
    }
  }
};

TEST_F(InitTest, DraftsAManifestThatOnceFilledInUpdatesTheOldestRelease) {
  const uint32_t v10 = 0x00010000, v11 = 0x00010001, v12 = 0x00010002;
  const Bytes app10 = MakeProgram(v10, 0, 20000, 1), app11 = MakeProgram(v11, 0, 21000, 2),
              app12 = MakeProgram(v12, 0, 22000, 3), core10 = MakeProgram(v10, 0, 9000, 4),
              core12 = MakeProgram(v12, 0, 9500, 5), same = MakeProgram(v10, 0, 5000, 6),
              help10(3000, 'h'), help12(3100, 'H');
  // CORE.DLL did not change from 1.0 to 1.1, and 1.0 spelled it in lower case; HELP.TXT has
  // no version, so its change cannot reach installed copies.
  Release("1.0", {{"APP.EXE", app10},
                  {"bin/core.dll", core10},
                  {"SAME.DLL", same},
                  {"OLD.DLL", same},
                  {"HELP.TXT", help10}});
  Release("1.1",
          {{"APP.EXE", app11}, {"BIN/CORE.DLL", core10}, {"SAME.DLL", same}, {"HELP.TXT", help12}});
  Release("1.2", {{"APP.EXE", app12},
                  {"BIN/CORE.DLL", core12},
                  {"SAME.DLL", same},
                  {"NEW.DLL", same},
                  {"HELP.TXT", help12}});
  InitOptions options{
      Folder("1.2") + "/", {Folder("1.0"), Folder("1.1")}, dir_.path() + "/manifest.json"};

  InitSummary summary = InitManifest(options);
  EXPECT_EQ(summary.entries, 2u);
  EXPECT_EQ(summary.unchanged, std::vector<std::string>{"SAME.DLL"});
  EXPECT_EQ(summary.added, std::vector<std::string>{"NEW.DLL"});
  EXPECT_EQ(summary.removed, std::vector<std::string>{"OLD.DLL"});
  ASSERT_EQ(summary.leftOut.size(), 1u);
  EXPECT_EQ(summary.leftOut[0].rfind("HELP.TXT in " + Folder("1.0") + ": neither", 0), 0u)
      << summary.leftOut[0];
  EXPECT_EQ(summary.samples.count, 8);
  EXPECT_EQ(summary.samples.length, 16);

  json manifest = Read(options.output);
  ASSERT_EQ(manifest["files"].size(), 2u);
  const json& core = manifest["files"][1];
  EXPECT_EQ(core["name"], "CORE.DLL");
  EXPECT_EQ(core["directoryKind"], "installation");
  EXPECT_EQ(core["directory"], "BIN");
  EXPECT_EQ(core["new"], "releases/1.2/BIN/CORE.DLL");
  EXPECT_EQ(core["previous"], json({"releases/1.0/bin/core.dll"}));
  EXPECT_EQ(manifest["files"][0]["previous"],
            json({"releases/1.0/APP.EXE", "releases/1.1/APP.EXE"}));

  // Unedited, it does not build; a second init does not overwrite the vendor's edits.
  EXPECT_THROW(ParseManifest(manifest.dump(), dir_.path()), ManifestError);
  EXPECT_THROW(InitManifest(options), PackError);
  EXPECT_EQ(Read(options.output), manifest);

  FillIn(manifest);
  BuildUpdate(ParseManifest(manifest.dump(), dir_.path()), Native(Win("demo.upd")), PackReport());
  Install(Win("APP\\APP.EXE"), app10);
  Install(Win("APP\\BIN\\CORE.DLL"), core10);
  app_.updateFile = OpenForReading(Native(Win("demo.upd")));
  Run(true);
  EXPECT_TRUE(app_.runOk) << ::testing::PrintToString(log_.lines);
  EXPECT_EQ(Installed(Win("APP\\APP.EXE")), app12);
  EXPECT_EQ(Installed(Win("APP\\BIN\\CORE.DLL")), core12);
}

TEST_F(InitTest, WritesNothingWhenNothingChangedAndFitsTheSamplesToSmallFiles) {
  Release("1.0", {{"A.DLL", MakeProgram(0x00010000, 0, 4000, 1)}});
  Release("1.1", {{"A.DLL", MakeProgram(0x00010000, 0, 4000, 1)}});
  InitOptions options{Folder("1.1"), {Folder("1.0")}, dir_.path() + "/drafts/manifest.json"};
  EXPECT_EQ(InitManifest(options).entries, 0u);
  EXPECT_FALSE(fs::exists(options.output));
  options.newDirectory = Folder("2.0");
  EXPECT_THROW(InitManifest(options), PackError);

  // A 200-byte previous version holds 6 samples of 16 bytes apart; one of 1 byte none.
  Release("2.0", {{"A.DLL", MakeProgram(0x00020000, 0, 4000, 2)},
                  {"B.DLL", MakeProgram(0x00020000, 0, 4000, 3)}});
  Release("1.0", {{"A.DLL", Bytes(200, 'a')}, {"B.DLL", Bytes(1, 'b')}});
  fs::create_directories(dir_.path() + "/drafts");
  InitSummary summary = InitManifest(options);
  EXPECT_EQ(summary.entries, 1u);
  EXPECT_EQ(summary.samples.count, 6);
  EXPECT_EQ(summary.samples.length, 16);
  ASSERT_EQ(summary.leftOut.size(), 1u);
  EXPECT_NE(summary.leftOut[0].find("B.DLL in "), std::string::npos) << summary.leftOut[0];
  // Releases outside the manifest's folder are named in full.
  json manifest = Read(options.output);
  EXPECT_EQ(manifest["files"][0]["new"],
            fs::absolute(Folder("2.0") + "/A.DLL").lexically_normal().generic_u8string());
}

#ifndef _WIN32
// Names Windows takes for one (X1.DLL and x1.dll, é.DLL and É.dll) side by side in a folder,
// which only a file system that tells case apart holds: reported with both paths, none
// paired. A name that is not UTF-8 is refused by its path.
TEST_F(InitTest, ReportsTheNamesItCannotPairWithTheirPaths) {
  const Bytes v10 = MakeProgram(0x00010000, 0, 4000, 1), v12 = MakeProgram(0x00010002, 0, 4000, 2);
  Release("1.0", {{"X1.DLL", v10}, {"x1.dll", Bytes(4000, 'x')}, {"B.DLL", v10}});
  Release("1.2", {{"X1.DLL", v12}, {"\xC3\xA9.DLL", v12}, {"\xC3\x89.dll", v12}, {"B.DLL", v12}});
  InitOptions options{Folder("1.2"), {Folder("1.0")}, dir_.path() + "/manifest.json"};
  InitSummary summary = InitManifest(options);
  const std::string n = Folder("1.2") + "/", p = Folder("1.0") + "/";
  EXPECT_EQ(summary.clashes, std::vector<std::string>({n + "\xC3\x89.dll and " + n + "\xC3\xA9.DLL",
                                                       p + "X1.DLL and " + p + "x1.dll"}));
  EXPECT_TRUE(summary.added.empty() && summary.removed.empty());
  EXPECT_EQ(Read(options.output)["files"].size(), 1u);

  Release("1.0", {{"A\xFF.DLL", v10}});
  Release("1.2", {{"A\xFF.DLL", v12}});
  fs::remove(options.output);
  std::string error;
  try {
    InitManifest(options);
  } catch (const PackError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, p + "A\xFF.DLL: the name is not UTF-8 text, which a manifest cannot hold; "
                       "rename it");
}
#endif

}  // namespace
