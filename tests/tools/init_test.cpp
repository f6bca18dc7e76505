// updpack init over release folders: how it pairs files, what it leaves out and reports,
// and a manifest that, once its placeholders are filled in, updates the oldest release.
#include "init.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/engine_fixture.h"
#include "manifest.h"
#include "model/file_name.h"
#include "pack.h"
#include "read_back.h"
#include "signing.h"
#include "support/trust_data.h"

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

// A product in three releases: two programs, a data file without a version, a plug-in new in
// 1.2 and a help file 1.2 dropped. init drafts every change; the update, filled in, built and
// (where this build can) signed, makes a 1.0 and a 1.1 install byte for byte release 1.2.
TEST_F(InitTest, DraftsEveryChangeAndMakesOlderInstallsTheNewRelease) {
  const Bytes app[] = {MakeProgram(kV10, 0, 20000, 1), MakeProgram(kV11, 0, 21000, 2),
                       MakeProgram(kV12, 0, 22000, 3)};
  const Bytes core10 = MakeProgram(kV10, 0, 9000, 4), core12 = MakeProgram(kV12, 0, 9500, 5),
              same = MakeProgram(kV10, 0, 5000, 6), plugIn = MakeProgram(kV12, 0, 7000, 7);
  const Bytes data[] = {Bytes(3000, 'd'), Bytes(3100, 'e'), Bytes(3200, 'f')}, help10(4000, 'h'),
              help11(4100, 'H');
  // CORE.DLL did not change from 1.0 to 1.1, and 1.0 spelled it in lower case.
  const std::map<std::string, Bytes> releases[] = {{{"APP.EXE", app[0]},
                                                    {"bin/core.dll", core10},
                                                    {"SAME.DLL", same},
                                                    {"DATA/TEMPLATES.DAT", data[0]},
                                                    {"LEGACY.HLP", help10}},
                                                   {{"APP.EXE", app[1]},
                                                    {"BIN/CORE.DLL", core10},
                                                    {"SAME.DLL", same},
                                                    {"DATA/TEMPLATES.DAT", data[1]},
                                                    {"LEGACY.HLP", help11}},
                                                   {{"APP.EXE", app[2]},
                                                    {"BIN/CORE.DLL", core12},
                                                    {"SAME.DLL", same},
                                                    {"DATA/TEMPLATES.DAT", data[2]},
                                                    {"PLUGINS/LEXPORT.DLL", plugIn}}};
  for (int minor = 0; minor < 3; ++minor) Release("1." + std::to_string(minor), releases[minor]);
  InitOptions options{
      Folder("1.2") + "/", {Folder("1.0"), Folder("1.1")}, dir_.path() + "/manifest.json"};

  InitSummary summary = InitManifest(options);
  EXPECT_EQ(summary.entries, 5u);
  EXPECT_EQ(summary.unchanged, std::vector<std::string>{"SAME.DLL"});
  EXPECT_EQ(summary.added, std::vector<std::string>{"PLUGINS/LEXPORT.DLL"});
  EXPECT_EQ(summary.removed, std::vector<std::string>{"LEGACY.HLP"});
  EXPECT_EQ(summary.byBytes, std::vector<std::string>{"DATA/TEMPLATES.DAT (no version resource)"});
  EXPECT_TRUE(summary.leftOut.empty()) << summary.leftOut[0];
  json manifest = Read(options.output);
  const json& files = manifest["files"];
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(files[1], json({{"name", "CORE.DLL"},
                            {"directoryKind", "installation"},
                            {"directory", "BIN"},
                            {"new", "releases/1.2/BIN/CORE.DLL"},
                            {"previous", {"releases/1.0/bin/core.dll"}}}));
  EXPECT_EQ(files[2]["match"], "exact");
  EXPECT_EQ(files[3]["action"], "add");
  EXPECT_FALSE(files[3].contains("previous"));
  EXPECT_EQ(files[4], json({{"name", "LEGACY.HLP"},
                            {"directoryKind", "installation"},
                            {"directory", ""},
                            {"action", "remove"},
                            {"previous", {"releases/1.0/LEGACY.HLP", "releases/1.1/LEGACY.HLP"}}}));

  // Unedited, it does not build; a second init does not overwrite the vendor's edits.
  EXPECT_THROW(ParseManifest(manifest.dump(), dir_.path()), ManifestError);
  EXPECT_THROW(InitManifest(options), PackError);
  EXPECT_EQ(Read(options.output), manifest);
  FillIn(manifest);
  BuildUpdate(ParseManifest(manifest.dump(), dir_.path()), Native(Win("demo.upd")), PackReport());
#ifndef _WIN32
  SignUpdate(Native(Win("demo.upd")), *SigningKey::Load(TrustDataPath("vendor.key")));
  std::ostringstream verdicts;
  EXPECT_TRUE(VerifyUpdate(Native(Win("demo.upd")), verdicts, RequireKeyIn("vendor.pub")))
      << verdicts.str();
#endif

  // A 1.0 install with its previous versions kept, and a 1.1 install without.
  for (int minor = 0; minor < 2; ++minor) {
    std::string install = "APP1" + std::to_string(minor);
    for (const auto& [name, bytes] : releases[minor]) Install(Win(install + "\\" + name), bytes);
    std::snprintf(app_.installDir, sizeof app_.installDir, "%s", Win(install).c_str());
    app_.document = VEzorazEdo();
    app_.updateFile.reset();
    app_.updateFile = OpenForReading(Native(Win("demo.upd")));
    SetRenaming(minor == 0);
    for (size_t i = 0; i < app_.document.items.size(); ++i) app_.document.items[i]->selected = 1;
    Run(true);
    EXPECT_TRUE(app_.runOk) << ::testing::PrintToString(log_.lines);
    std::map<std::string, Bytes> tree;
    for (const auto& entry : fs::recursive_directory_iterator(Native(Win(install)))) {
      if (!entry.is_regular_file()) continue;
      std::string relative = entry.path().lexically_relative(Native(Win(install))).generic_string();
      if (minor == 0 && relative.back() == '_') continue;  // the backups
      tree[FoldedName(relative)] = Installed(Win(install + "\\" + relative));
    }
    std::map<std::string, Bytes> wanted;
    for (const auto& [name, bytes] : releases[2]) wanted[FoldedName(name)] = bytes;
    EXPECT_EQ(tree, wanted) << install;
    EXPECT_EQ(Exists(Win(install + "\\LEGACY.HL_")), minor == 0);
  }
}

TEST_F(InitTest, WritesNothingWhenNothingChangedAndFitsTheSamplesToSmallFiles) {
  Release("1.0", {{"A.DLL", MakeProgram(0x00010000, 0, 4000, 1)}});
  Release("1.1", {{"A.DLL", MakeProgram(0x00010000, 0, 4000, 1)}});
  InitOptions options{Folder("1.1"), {Folder("1.0")}, dir_.path() + "/drafts/manifest.json"};
  EXPECT_EQ(InitManifest(options).entries, 0u);
  EXPECT_FALSE(fs::exists(options.output));
  options.newDirectory = Folder("2.0");
  EXPECT_THROW(InitManifest(options), PackError);

  // A 200-byte previous version holds 6 samples of 16 bytes apart, whichever release has it
  // and whatever other copies or files follow; one of 1 byte none, so it is matched byte for
  // byte. A copy newer than the new version is left out, and with it the entry; a file gone
  // from the new release is removed once for its copies of the same bytes.
  const Bytes gone(300, 'g');
  Release("2.0", {{"A.DLL", MakeProgram(0x00020000, 0, 4000, 2)},
                  {"B.DLL", MakeProgram(0x00020000, 0, 4000, 3)},
                  {"lib/x86/C.DLL", MakeProgram(0x00020000, 0, 4000, 4)},
                  {"D.DLL", MakeProgram(0x00010000, 0, 4000, 5)},
                  {"E.DLL", MakeProgram(0, 2, 4000, 9)}});
  Release("1.0", {{"A.DLL", Bytes(200, 'a')}, {"B.DLL", Bytes(1, 'b')}, {"GONE.TXT", gone}});
  Release("1.1", {{"B.DLL", MakeProgram(0x00010000, 0, 4000, 6)},
                  {"lib/x86/C.DLL", MakeProgram(0x00010000, 0, 4000, 7)},
                  {"D.DLL", MakeProgram(0x00030000, 0, 4000, 8)},
                  {"E.DLL", MakeProgram(0, 1, 4000, 10)},
                  {"GONE.TXT", gone}});
  options.previousDirectories.push_back(Folder("1.1"));
  fs::create_directories(dir_.path() + "/drafts");
  InitSummary summary = InitManifest(options);
  EXPECT_EQ(summary.entries, 5u);
  EXPECT_EQ(summary.samples.count, 6);
  EXPECT_EQ(summary.samples.length, 16);
  EXPECT_EQ(summary.byBytes,
            std::vector<std::string>{"B.DLL (too small to be told apart by samples)"});
  ASSERT_EQ(summary.leftOut.size(), 1u);
  EXPECT_EQ(summary.leftOut[0].rfind("D.DLL in " + Folder("1.1") + ": its version 3.0", 0), 0u);
  // Releases outside the manifest's folder are named in full.
  json manifest = Read(options.output);
  EXPECT_EQ(manifest["sampleCount"], 6);
  EXPECT_EQ(manifest["files"][0]["new"],
            fs::absolute(Folder("2.0") + "/A.DLL").lexically_normal().generic_u8string());
  EXPECT_EQ(manifest["files"][0]["previous"].size(), 2u);
  EXPECT_EQ(manifest["files"][1]["match"], "exact");
  EXPECT_EQ(manifest["files"][2]["name"], "E.DLL");  // version 0.0.0.2: sampled
  EXPECT_EQ(manifest["files"][3]["directory"], "lib\\x86");
  EXPECT_EQ(manifest["files"][4]["name"], "GONE.TXT");
  EXPECT_EQ(manifest["files"][4]["previous"].size(), 1u);
}

#ifndef _WIN32
// Names Windows takes for one (X1.DLL, x1.DLL and x1.dll, é.DLL and É.dll) side by side in a
// folder, which only a file system that tells case apart holds: reported with every path, none
// paired or removed. A name that is not UTF-8 is refused by its path.
TEST_F(InitTest, ReportsTheNamesItCannotPairWithTheirPaths) {
  const Bytes v10 = MakeProgram(0x00010000, 0, 4000, 1), v12 = MakeProgram(0x00010002, 0, 4000, 2);
  Release("1.0", {{"X1.DLL", v10},
                  {"x1.dll", Bytes(4000, 'x')},
                  {"x1.DLL", v10},
                  {"B.DLL", v10},
                  {"Z.DLL", v10}});
  // Z.DLL is not gone from the new release: it is there in two spellings.
  Release("1.2", {{"X1.DLL", v12},
                  {"\xC3\xA9.DLL", v12},
                  {"\xC3\x89.dll", v12},
                  {"B.DLL", v12},
                  {"Z.DLL", v12},
                  {"z.dll", v12}});
  InitOptions options{Folder("1.2"), {Folder("1.0")}, dir_.path() + "/manifest.json"};
  InitSummary summary = InitManifest(options);
  const std::string n = Folder("1.2") + "/", p = Folder("1.0") + "/";
  EXPECT_EQ(summary.clashes,
            std::vector<std::string>({n + "Z.DLL and " + n + "z.dll",
                                      n + "\xC3\x89.dll and " + n + "\xC3\xA9.DLL",
                                      p + "X1.DLL, " + p + "x1.DLL and " + p + "x1.dll"}));
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
