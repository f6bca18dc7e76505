// What a run does with files whose names clash or that change under it: one name taken
// twice, a file changed between the check and its replacement, names in another case.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "engine/engine_fixture.h"
#include "platform/name_case.h"

namespace {

class RunChangesTest : public EngineTest {
 protected:
  // Demo with every file older and known; names_ are where its files are installed.
  void ThreeOlder() {
    DemoOptions demo;
    demo.allOlder = true;
    BuildDemo(demo);
    for (size_t i = 0; i < kDemoFiles; ++i) names_[i] = DemoPath(i, demo);
  }
  std::string names_[kDemoFiles];
  const DemoRelease& old_ = demo_[0];
};

// An update that names one file twice is refused before anything is opened: with renaming
// on, an entry's backup must not delete another entry's file either.
TEST_F(RunChangesTest, NamesTakenTwiceAreRefusedByTheCheck) {
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
    SetRenaming(c.rename);
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

// While the first new version is made, the second file is edited, or the first one, or a
// newer version of the second is put in place, or a stop is asked for. Each file is looked
// at again right before it is replaced; a stop is honoured between files, and while the new
// versions are made it changes nothing.
TEST_F(RunChangesTest, AFileChangedAfterTheCheckIsNotReplacedAndAStopEndsTheRun) {
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
    const char* at = "ExpandPayload";  // the first such call
  } cases[] = {
      {1, edited, 1, previousVersionNotCompatible},           // the run stops there
      {0, edited, 0, previousVersionNotCompatible},           // the file in hand: nothing changes
      {1, MakeProgram(kV11, 0x00010000, 4700, 50), 2, none},  // a newer one is left alone
      {-1, {}, 0, none},
      {-1, {}, 1, none, "ReplaceWithBackup"},  // asked as the first is put in place
  };
  for (const auto& c : cases) {
    for (int i = 0; i < 3; ++i) Install(names_[i], old_[i]);
    stop = false;
    bool done = false;
    env_.before = [&](const std::string& what) {
      if (what != c.at || std::exchange(done, true)) return;
      if (c.changed < 0) stop = true;
      if (c.changed >= 0) Install(names_[c.changed], c.bytes);
    };
    Run(true);
    const EntryOutcome& outcome = app_.record.entries[c.changed < 0 ? 1 : c.changed];
    EXPECT_EQ(outcome.error, c.error) << c.changed;
    EXPECT_EQ(app_.record.Replaced(), c.replaced) << c.changed;
    EXPECT_EQ(app_.record.cancelled, c.changed < 0);
    EXPECT_EQ(app_.runOk, c.error == none && c.changed >= 0);
    EXPECT_EQ(Installed(names_[1]), c.changed == 1 ? c.bytes : old_[1]);
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

// A file that settled before the check and is then rewritten in place with a newer version of
// the same size, its time put back, is still seen by the look right before its replacement.
TEST_F(RunChangesTest, AFileRewrittenInPlaceAfterTheCheckIsSeenAgain) {
  ThreeOlder();
  Bytes newer = MakeProgram(kV11, 0x00010000, old_[1].size(), 50);
  for (int i = 0; i < 3; ++i) Install(names_[i], old_[i]);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the first pass's read holds
  bool done = false;
  int byName = 0;  // identities read by name in the second pass
  env_.before = [&](const std::string& what) {
    byName += done && what == "ReadFileIdentity";
    if (what != "ExpandPayload" || std::exchange(done, true)) return;
    std::string native = Native(names_[1]);
    auto time = std::filesystem::last_write_time(native);
    Install(names_[1], newer);
    std::filesystem::last_write_time(native, time);
  };
  Run(true);
  EXPECT_EQ(app_.record.entries[1].verdict, verdictNewer);
  EXPECT_EQ(Installed(names_[1]), newer);
  EXPECT_EQ(app_.record.Replaced(), 2u);
  // The two files left as they were are re-checked through their open handles alone.
  EXPECT_EQ(byName, 1);
}

// Names are found in any case, as Windows finds them; also in a Windows tree the native
// build serves. The new version takes the old one's place: no second file appears.
TEST_F(RunChangesTest, FilesAreFoundWhateverTheCaseOfTheirNames) {
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

// While an update runs, it holds every directory it may write, a system file's fallback too.
TEST_F(RunChangesTest, AnUpdateHoldsEveryDirectoryItMayWrite) {
  DemoOptions demo;
  demo.allOlder = true;
  BuildDemo(demo);
  // Asked from a thread of its own, as a second run would: a Windows mutex is its holder's.
  auto lockable = [&](const char* dir) {
    bool got = false;
    std::thread([&] { got = Env::Default().LockDirectory(Win(dir)) != nullptr; }).join();
    return got;
  };
  std::vector<std::string> held;
  env_.before = [&](const std::string& what) {
    if (what != "CreateExclusive" || !held.empty()) return;
    for (const char* dir : {"APP", "APP\\system"}) {
      if (!lockable(dir)) held.push_back(dir);
    }
  };
  Run(true);
  env_.before = nullptr;
  EXPECT_EQ(held, (std::vector<std::string>{"APP", "APP\\system"}));
  EXPECT_TRUE(app_.runOk);
  EXPECT_TRUE(lockable("APP\\system"));
}

}  // namespace
