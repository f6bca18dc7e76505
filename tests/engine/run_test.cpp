// Check and update runs over whole products.
#include <atomic>
#include <utility>

#include "engine/engine_fixture.h"
#include "model/paths.h"
#include "platform/name_case.h"

namespace {

const uint32_t kV10 = 0x00010000, kV11 = 0x00010001;

class RunTest : public EngineTest {
 protected:
  // A.DLL older and known, B.DLL not selected, E.DLL already of the update's version.
  void ThreeEntries() {
    oldA_ = MakeProgram(kV10, 5, 30000, 1);
    newA_ = MakeProgram(kV11, 0, 34000, 2);
    Bytes newB = MakeProgram(kV11, 0, 5000, 3);
    newE_ = MakeProgram(kV11, 0, 9000, 4);
    Install(Win("APP\\A.DLL"), oldA_);
    Install(Win("APP\\B.DLL"), MakeProgram(kV10, 0, 5000, 5));
    Install(Win("APP\\E.DLL"), newE_);
    EntryPlan a{"A.DLL"};
    a.newBytes = newA_;
    a.previous = {MakeProgram(kV10, 4, 29000, 6), oldA_};
    EntryPlan b{"B.DLL"};
    b.selected = 0;
    b.newBytes = newB;
    EntryPlan e{"E.DLL"};
    e.selected = 2;
    e.newBytes = newE_;
    Build({a, b, e});
  }
  // APP\A.DLL, B.DLL and C.DLL, each older and known.
  void ThreeOlder() {
    std::vector<EntryPlan> entries;
    for (int i = 0; i < 3; ++i) {
      names_[i] = std::string("APP\\") + static_cast<char>('A' + i) + ".DLL";
      old_[i] = MakeProgram(kV10, 0, 4000 + 100 * i, 30 + i);
      fresh_[i] = MakeProgram(kV11, 0, 4500 + 100 * i, 40 + i);
      Install(Win(names_[i]), old_[i]);
      EntryPlan e{LastComponent(names_[i])};
      e.newBytes = fresh_[i];
      e.previous = {old_[i]};
      entries.push_back(e);
    }
    Build(entries);
  }
  Bytes oldA_, newA_, newE_;
  std::string names_[3];
  Bytes old_[3], fresh_[3];
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
  app_.document.EnsureLoaded(*app_.updateFile);
  app_.document.renamePrevious = true;
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

// Each new file is flushed before it takes its name; the names are made durable once per
// directory, after the last of them.
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
    if (what == "Flushing" || what == "ReplaceWithBackup") env.calls.push_back(what);
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
  std::vector<std::string> want;
  for (int i = 0; i < 3; ++i) want.insert(want.end(), {"Flushing", "ReplaceWithBackup"});
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

// An update that names one file twice is refused before anything is opened: with renaming
// on, an entry's backup must not delete another entry's file either.
TEST_F(RunTest, NamesTakenTwiceAreRefusedByTheCheck) {
  Bytes oldA = MakeProgram(kV10, 0, 3000, 20), newA = MakeProgram(kV11, 0, 3100, 21);
  using C = EntryCause;
  const struct {
    const char* second;  // the first entry is A.TXT
    uint16_t secondSelected;
    bool rename;
    C causes[2];  // each naming the other entry
  } cases[] = {
      {"a.txt", 1, false, {C::sameTarget, C::sameTarget}},
      {"a.txt", 1, true, {C::sameTarget, C::sameTarget}},
      {"A.TX_", 1, true, {C::backupIsTarget, C::targetIsBackup}},
      {"A.TX_", 0, true, {C::backupIsTarget, C::none}},
      {"A.TX_", 1, false, {C::none, C::none}},
  };
  for (const auto& c : cases) {
    EntryPlan e[2] = {EntryPlan{"A.TXT"}, EntryPlan{c.second}};
    for (EntryPlan& plan : e) {
      plan.newBytes = newA;
      plan.previous = {oldA};
      Install(Win("APP\\" + plan.name), oldA);
    }
    e[1].selected = c.secondSelected;
    app_.document = VEzorazEdo();
    app_.updateFile.reset();
    Build({e[0], e[1]});
    app_.document.EnsureLoaded(*app_.updateFile);
    app_.document.renamePrevious = c.rename;
    Run(true);
    for (size_t k = 0; k < 2; ++k) {
      const EntryOutcome& outcome = app_.record.entries[k];
      EXPECT_EQ(outcome.cause, c.causes[k]) << c.second << c.rename << k;
      EXPECT_EQ(outcome.collidesWith, c.causes[k] == C::none ? 0 : 2 - k);
      if (c.causes[k] != C::none) {
        EXPECT_EQ(outcome.error, c.rename ? cannotRename : fileNotFound);
      }
    }
    // Refused: nothing changed; else both were replaced, and no backup took a file's place.
    Bytes want = c.causes[0] == C::none ? newA : oldA;
    EXPECT_EQ(Installed(Win("APP\\A.TXT")), want);
    EXPECT_EQ(Installed(Win("APP\\" + std::string(c.second))), want);
  }
}

// While the first file is being replaced, the second one is edited, or the first one, or a
// newer version of the second is put in place, or a stop is asked for. Each file is looked
// at again right before it is replaced; a stop is honoured between files.
TEST_F(RunTest, AFileChangedAfterTheCheckIsNotReplacedAndAStopEndsTheRun) {
  ThreeOlder();
  Bytes edited = old_[1];
  edited.push_back('!');
  std::atomic<bool> stop(false);
  app_.stopRequested = &stop;
  const struct {
    int changed;  // the entry whose file changes into `bytes`; -1: the stop
    Bytes bytes;
    size_t replaced;
    UpdateError error;
  } cases[] = {
      {1, edited, 1, previousVersionNotCompatible},           // the run stops there
      {0, edited, 0, previousVersionNotCompatible},           // the file in hand: nothing changes
      {1, MakeProgram(kV11, 0x00010000, 4700, 50), 2, none},  // a newer one is left alone
      {-1, {}, 1, none},
  };
  for (const auto& c : cases) {
    for (int i = 0; i < 3; ++i) Install(Win(names_[i]), old_[i]);
    stop = false;
    bool done = false;
    env_.before = [&](const std::string& what) {
      if (what != "ExpandPayload" || std::exchange(done, true)) return;
      if (c.changed < 0) stop = true;
      if (c.changed >= 0) Install(Win(names_[c.changed]), c.bytes);
    };
    Run(true);
    const EntryOutcome& outcome = app_.record.entries[c.changed < 0 ? 1 : c.changed];
    EXPECT_EQ(outcome.error, c.error) << c.changed;
    EXPECT_EQ(app_.record.Replaced(), c.replaced) << c.changed;
    EXPECT_EQ(app_.record.cancelled, c.changed < 0);
    EXPECT_EQ(app_.runOk, c.error == none && c.changed >= 0);
    EXPECT_EQ(Installed(Win(names_[1])), c.changed == 1 ? c.bytes : old_[1]);
    EXPECT_EQ(outcome.cause, c.error ? EntryCause::changedSinceCheck : EntryCause::none);
    EXPECT_TRUE(c.replaced != 2 || outcome.verdict == verdictNewer);
    EXPECT_TRUE(Leftovers().empty());
  }
  // Asked before the first entry, a check reaches none.
  env_.before = nullptr;
  stop = true;
  Run(false);
  EXPECT_FALSE(app_.record.entries[0].reached);
}

// Names are found in any case, as Windows finds them; also in a Windows tree the native
// build serves. The new version takes the old one's place: no second file appears.
TEST_F(RunTest, FilesAreFoundWhateverTheCaseOfTheirNames) {
  Bytes old = MakeProgram(kV10, 0, 3000, 60), fresh = MakeProgram(kV11, 0, 3300, 61);
  Install(Win("APP\\bin\\quill.exe"), old);
  EntryPlan q{"QUILL.EXE", 2, "BIN"};
  q.newBytes = fresh;
  q.previous = {old};
  Build({q});
  Run(true);
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Updated File " + Win("APP\\BIN\\QUILL.EXE")});
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Native(Win("APP\\bin")))) {
    names.push_back(entry.path().filename().string());
  }
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(FoldedName(names[0]), "QUILL.EXE");
  EXPECT_EQ(Installed(Win("APP\\bin\\" + names[0])), fresh);
}

}  // namespace
