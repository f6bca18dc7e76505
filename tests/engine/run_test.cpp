// Check and update runs over whole products.
#include "engine/engine_fixture.h"
#include "model/paths.h"

namespace {

class RunTest : public EngineTest {
 protected:
  // Demo: A.DLL older and known (the second of two accepted 1.0 builds), B.DLL not
  // selected, E.DLL already of the update's version.
  void ThreeEntries() {
    DemoOptions demo;
    demo.earlierBuild = true;
    BuildDemo(demo);
  }
  const Bytes &oldA_ = demo_[0][0], &newA_ = demo_[1][0], &newE_ = demo_[1][2];
};

TEST_F(RunTest, CheckLogsOneVerdictPerEntry) {
  ThreeEntries();
  Run(false);
  std::vector<std::string> want = {
      Win("APP\\A.DLL") + " will be updated",
      Win("APP\\B.DLL") + " will not be updated (User Selection)",
      Win("APP\\E.DLL") + " is up to date",
  };
  EXPECT_EQ(log_.lines, want);
  EXPECT_TRUE(app_.runOk);
  EXPECT_TRUE(app_.updateNeeded);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(RunTest, UpdateWithRenamingKeepsThePreviousVersion) {
  ThreeEntries();
  SetRenaming(true);
  Install(Win("APP\\A.DL_"), Bytes{1, 2, 3});  // an earlier backup is replaced
  Run(true);
  std::vector<std::string> want = {
      Win("APP\\A.DLL") + " renamed to A.DL_",
      "Updated File " + Win("APP\\A.DLL"),
      Win("APP\\B.DLL") + " was not updated (User Selection)",
      Win("APP\\E.DLL") + " is up to date",
  };
  EXPECT_EQ(log_.lines, want);
  EXPECT_TRUE(app_.runOk);
  EXPECT_TRUE(app_.updateNeeded);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\A.DL_")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\E.DLL")), newE_);
  EXPECT_TRUE(Leftovers().empty());

  // Now everything is current: a second check finds nothing to do.
  Run(false);
  EXPECT_EQ(log_.lines[0], Win("APP\\A.DLL") + " is up to date");
  EXPECT_FALSE(app_.updateNeeded);
}

TEST_F(RunTest, UpdateWithoutRenamingOverwritesInPlace) {
  ThreeEntries();
  Run(true);
  ASSERT_EQ(log_.lines.size(), 3u);
  EXPECT_EQ(log_.lines[0], "Updated File " + Win("APP\\A.DLL"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_FALSE(Exists(Win("APP\\A.DL_")));
  EXPECT_TRUE(Leftovers().empty());
}

// The new files are flushed together before the first takes its name; the names are made
// durable once per directory, after the last of them.
TEST_F(RunTest, RenamesAreMadeDurableOncePerDirectoryAtTheEnd) {
  class Recording : public TestEnv {
   public:
    using TestEnv::TestEnv;
    void SyncDirectory(const std::string& directory) override {
      calls.push_back("SyncDirectory " + directory);
      TestEnv::SyncDirectory(directory);
    }
    std::vector<std::string> calls;
  } env(Win("TEMP\\"));
  env.before = [&](const std::string& what) {
    if (what == "Flushing" || what == "FlushBatch::Flush" || what == "ReplaceWithBackup") {
      env.calls.push_back(what);
    }
  };
  std::vector<EntryPlan> entries;
  for (const char* path : {"A.DLL", "BIN\\B.DLL", "C.DLL"}) {
    entries.emplace_back(LastComponent(path), 2, path[1] == 'I' ? "BIN" : "");
    Bytes old = MakeProgram(kV10, 0, 4000, path[0]);
    entries.back().newBytes = MakeProgram(kV11, 0, 4200, path[0] + 1);
    entries.back().previous = {old};
    Install(Win(std::string("APP\\") + path), old);
  }
  Build(entries);
  app_.env = &env;
  Run(true);
  std::vector<std::string> want = {"FlushBatch::Flush"};
  for (int i = 0; i < 3; ++i) want.push_back("ReplaceWithBackup");
  want.push_back("SyncDirectory " + Win("APP\\"));
  want.push_back("SyncDirectory " + Win("APP\\BIN\\"));
  EXPECT_EQ(env.calls, want);
  EXPECT_EQ(app_.record.Replaced(), 3u);
}

TEST_F(RunTest, MissingSelectedFileStopsTheUpdateUnselectedDoesNot) {
  ThreeEntries();
  std::filesystem::remove(Native(Win("APP\\B.DLL")));  // unselected: no error
  Run(false);
  EXPECT_TRUE(app_.runOk);
  std::filesystem::remove(Native(Win("APP\\E.DLL")));  // selected: an error
  Run(false);
  std::vector<std::string> want = {
      Win("APP\\A.DLL") + " will be updated",
      Win("APP\\B.DLL") + " will not be updated (User Selection)",
      Win("APP\\E.DLL") + " error [File Not Found]",
  };
  EXPECT_EQ(log_.lines, want);
  EXPECT_FALSE(app_.runOk);
  Run(true);
  EXPECT_EQ(log_.lines, std::vector<std::string>{Win("APP\\E.DLL") + " error [File Not Found]"});
  EXPECT_FALSE(app_.runOk);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);  // nothing replaced
}

TEST_F(RunTest, OlderFileMatchingNoPreviousVersionFails) {
  Install(Win("APP\\A.DLL"), MakeProgram(kV10, 9, 30000, 7));
  EntryPlan a{"A.DLL"};
  a.newBytes = MakeProgram(kV11, 0, 30000, 8);
  a.previous = {MakeProgram(kV10, 5, 30000, 9)};  // another build
  EntryPlan c{"C.DLL"};
  c.newBytes = MakeProgram(kV11, 0, 3000, 10);  // no previous versions at all
  Install(Win("APP\\C.DLL"), MakeProgram(kV10, 0, 3000, 11));
  // A known previous version with bytes appended locally: its samples still match, only
  // its size tells it apart.
  EntryPlan l{"L.DLL"};
  l.newBytes = MakeProgram(kV11, 0, 30000, 12);
  l.previous = {MakeProgram(kV10, 0, 30000, 13)};
  Bytes local = l.previous[0];
  local.insert(local.end(), 100, 'x');
  Install(Win("APP\\L.DLL"), local);
  Build({a, c, l});
  Run(true);
  std::vector<std::string> want = {
      Win("APP\\A.DLL") + " error [Cannot Update. Previous Version not Compatible]",
      Win("APP\\C.DLL") + " error [Cannot Update. Previous Version not Compatible]",
      Win("APP\\L.DLL") + " error [Cannot Update. Previous Version not Compatible]",
  };
  EXPECT_EQ(log_.lines, want);
  EXPECT_FALSE(app_.runOk);
  EXPECT_TRUE(app_.updateNeeded);
}

TEST_F(RunTest, NewerAndUpToDateFilesAreReportedNotReplaced) {
  Bytes newer = MakeProgram(kV11, 0x00010000, 4000, 12);
  Bytes same = MakeProgram(kV11, 0, 4100, 13);
  Install(Win("WIN\\N.DLL"), newer);
  Install(Win("APP\\BIN\\S.DLL"), same);
  EntryPlan n{"N.DLL", 0};
  n.newBytes = MakeProgram(kV11, 0, 4000, 14);
  EntryPlan s{"S.DLL", 2, "BIN"};
  s.newBytes = MakeProgram(kV11, 0, 4000, 15);  // same version, other size: up to date
  Build({n, s});
  Run(true);
  std::vector<std::string> want = {Win("WIN\\N.DLL") + " is newer than the upd",
                                   Win("APP\\BIN\\S.DLL") + " is up to date"};
  EXPECT_EQ(log_.lines, want);
  EXPECT_TRUE(app_.runOk);
  EXPECT_FALSE(app_.updateNeeded);
  EXPECT_EQ(Installed(Win("WIN\\N.DLL")), newer);
}

TEST_F(RunTest, SystemEntryFallsBackToTheInstallationsSystemFolder) {
  Bytes old = MakeProgram(kV10, 0, 8000, 16);
  Bytes fresh = MakeProgram(kV11, 0, 8200, 17);
  Install(Win("APP\\system\\S.DLL"), old);
  EntryPlan s{"S.DLL", 1};
  s.newBytes = fresh;
  s.previous = {old};
  Build({s});
  Run(false);
  EXPECT_EQ(log_.lines, std::vector<std::string>{Win("APP\\system\\S.DLL") + " will be updated"});
  // A copy in the system directory that another program holds open is passed over too.
  Install(Win("WIN\\SYSTEM\\S.DLL"), old);
  std::unique_ptr<CFile> holder = OpenForReading(Native(Win("WIN\\SYSTEM\\S.DLL")));
  Run(true);
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Updated File " + Win("APP\\system\\S.DLL")});
  EXPECT_EQ(Installed(Win("APP\\system\\S.DLL")), fresh);
  EXPECT_EQ(app_.record.entries[0].openCause, FileCause::none);  // the fallback opened
  holder.reset();
  EXPECT_EQ(Installed(Win("WIN\\SYSTEM\\S.DLL")), old);
}

TEST_F(RunTest, FileHeldOpenElsewhereIsNotFound) {
  ThreeEntries();
  std::unique_ptr<CFile> holder = OpenForReading(Native(Win("APP\\A.DLL")));
  Run(false);
  EXPECT_EQ(log_.lines[0], Win("APP\\A.DLL") + " error [File Not Found]");
  EXPECT_EQ(app_.record.entries[0].openCause, FileCause::sharingViolation);
  EXPECT_FALSE(app_.runOk);
}

TEST_F(RunTest, EmptyDocumentRunsCleanly) {
  Build({});
  Run(true);
  EXPECT_TRUE(log_.lines.empty());
  EXPECT_TRUE(app_.runOk);
  EXPECT_FALSE(app_.updateNeeded);
}

TEST_F(RunTest, DamagedDocumentRaisesAndKeepsTheLinesSoFar) {
  ThreeEntries();
  app_.updateFile.reset();  // no sharing: close it before reading it here
  Bytes bytes = Installed(updatePath_);
  bytes.resize(bytes.size() - 3);  // cut inside the fingerprint parameters
  Install(updatePath_, bytes);
  app_.updateFile = OpenForReading(Native(updatePath_));
  log_.lines = {"earlier"};
  EXPECT_THROW(Run(false), CArchiveException);
  EXPECT_TRUE(log_.lines.empty());  // cleared before the load
  EXPECT_TRUE(app_.runOk);
  EXPECT_FALSE(app_.document.loaded);
}

}  // namespace

// The digests of large new files are compared while the next ones are made: one that differs
// still ends the update at its own entry, before an error of a later entry and before any
// installed file changed, with no new file left.
TEST_F(RunTest, ADigestComparedLaterStillEndsTheUpdateAtItsEntry) {
  std::vector<EntryPlan> entries;
  std::vector<Bytes> old, fresh;
  for (int i = 0; i < 3; ++i) {
    std::string name = std::string(1, static_cast<char>('A' + i)) + ".DLL";
    old.push_back(MakeProgram(kV10, 0, 300000 + 1000 * i, 30 + i));
    fresh.push_back(MakeProgram(kV11, 0, 310000 + 1000 * i, 40 + i));
    entries.emplace_back(name);
    entries.back().newBytes = fresh[i];
    entries.back().previous = {old[i]};
  }
  Build(entries);
  app_.document.EnsureLoaded(*app_.updateFile);
  std::vector<size_t> passed;
  app_.entryPassed = [&](int pass, size_t k) {
    if (pass == 2) passed.push_back(k);
  };
  struct Case {
    size_t wrongDigest, wrongSize;  // entries; 3: none
  };
  for (Case c : {Case{1, 3}, Case{2, 3}, Case{1, 2}}) {
    for (size_t i = 0; i < 3; ++i) {
      Install(Win("APP\\" + entries[i].name), old[i]);
      CUpdateItem& item = *app_.document.items[i];
      item.hasContentDigest = true;
      item.contentDigest = Sha256Of(fresh[i].data(), fresh[i].size());
      item.contentDigest.bytes[0] ^= i == c.wrongDigest ? 1 : 0;
      item.expectedStamp.size = static_cast<uint32_t>(fresh[i].size() + (i == c.wrongSize));
    }
    passed.clear();
    Run(true);
    std::string trial = "digest of " + std::to_string(c.wrongDigest) + ": ";
    EXPECT_EQ(log_.lines, std::vector<std::string>{Win("APP\\" + entries[c.wrongDigest].name) +
                                                   " error [Cannot Decompress. UPD may be "
                                                   "corrupted]"})
        << trial;
    EXPECT_EQ(passed.size(), c.wrongDigest) << trial;
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Installed(Win("APP\\" + entries[i].name)), old[i]);
    EXPECT_TRUE(Leftovers().empty()) << trial;
  }
  app_.document.items[1]->contentDigest = Sha256Of(fresh[1].data(), fresh[1].size());
  app_.document.items[2]->expectedStamp.size = static_cast<uint32_t>(fresh[2].size());
  passed.clear();
  Run(true);
  EXPECT_TRUE(app_.runOk);
  EXPECT_EQ(passed, (std::vector<size_t>{0, 1, 2}));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Installed(Win("APP\\" + entries[i].name)), fresh[i]);
}
