// The update pass before its first replacement: the room the new versions need, the failures
// of making and flushing them, and the digests compared behind the pass.
#include <algorithm>

#include "engine/digest_behind.h"
#include "engine/engine_fixture.h"
#include "platform/sha256.h"

namespace {

class StagedPassTest : public EngineTest {
 protected:
  // A.DLL in APP, B.DLL in APP\BIN, and ADD.DAT added in APP\NEW, which does not exist yet.
  void SetUp() override {
    for (int i = 0; i < 2; ++i) {
      old_.push_back(MakeProgram(kV10, 0, 6000 + 3000 * i, 60 + i));
      fresh_.push_back(MakeProgram(kV11, 0, 7000 + 3000 * i, 70 + i));
      entries_.emplace_back(i ? "B.DLL" : "A.DLL", 2, i ? "BIN" : "");
      entries_.back().newBytes = fresh_[i];
      entries_.back().previous = {old_[i]};
    }
    entries_.emplace_back("ADD.DAT", 2, "NEW");
    entries_.back().action = EntryAction::add;
    entries_.back().newBytes = Bytes(5000, 'n');
    Build(entries_);
  }
  void Reset() {
    Install(Win("APP\\A.DLL"), old_[0]);
    Install(Win("APP\\BIN\\B.DLL"), old_[1]);
    std::filesystem::remove_all(Native(Win("APP\\NEW")));
  }
  void ExpectNothingChanged(const std::string& trial) {
    EXPECT_FALSE(app_.runOk) << trial;
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_[0]) << trial;
    EXPECT_EQ(Installed(Win("APP\\BIN\\B.DLL")), old_[1]) << trial;
    EXPECT_FALSE(Exists(Win("APP\\NEW\\ADD.DAT"))) << trial;
  }

  std::vector<EntryPlan> entries_;
  std::vector<Bytes> old_, fresh_;
};

// The room is the sum over every directory of the volume, the missing one's included.
TEST_F(StagedPassTest, TheRoomCountsEveryDirectoryOfAVolume) {
  uint64_t needed = RoomFor({fresh_[0].size(), fresh_[1].size(), 5000});
  env_.freeBytes = needed - 1;
  Reset();
  Run(true);
  ExpectNothingChanged("short by one byte");
  EXPECT_EQ(app_.record.entries[2].cause, EntryCause::diskFull);
  EXPECT_EQ(app_.record.entries[2].error, cannotWrite);
  env_.freeBytes = needed;
  Run(true);
  EXPECT_TRUE(app_.runOk);
  EXPECT_EQ(Installed(Win("APP\\NEW\\ADD.DAT")), Bytes(5000, 'n'));
}

// Each call that makes or flushes a new version, failed the first time: the run ends at the
// entry it served, with that entry's error, before any installed file changed.
TEST_F(StagedPassTest, AFailureBeforeTheFirstReplacementChangesNothing) {
  // An ended run's start of A.DLL's new version, which the update removes first.
  const std::string leftover = Win("APP\\A.DLL~UPD");
  const Bytes started(fresh_[0].begin(), fresh_[0].begin() + 3000);
  std::vector<std::string> calls;
  env_.before = [&](const std::string& what) { calls.push_back(what); };
  Reset();
  Install(leftover, started);
  Run(true);
  ASSERT_TRUE(app_.runOk);
  env_.before = nullptr;
  const struct {
    const char* call;
    size_t entry;
    UpdateError error;
  } cases[] = {
      {"RemoveFile", 0, cannotWrite},  // of the leftover
      {"CreateDirectories", 2, cantCreateFile},
      {"FlushBatch::Add", 0, cannotDecompress},
      {"FlushBatch::Flush", 0, cannotDecompress},
  };
  for (const auto& c : cases) {
    auto at = std::find(calls.begin(), calls.end(), c.call);
    ASSERT_NE(at, calls.end()) << c.call;
    Reset();
    Install(leftover, started);
    env_.FailCall(at - calls.begin() + 1, false);
    Run(true);
    env_.Heal();
    ExpectNothingChanged(c.call);
    const EntryOutcome& failed = app_.record.entries[c.entry];
    EXPECT_EQ(failed.error, c.error) << c.call;
    EXPECT_EQ(failed.cause == EntryCause::newFileTaken, c.error == cannotWrite) << c.call;
    EXPECT_EQ(Exists(leftover), c.error == cannotWrite) << c.call;
    EXPECT_EQ(Leftovers().size(), c.error == cannotWrite ? 1u : 0u) << c.call;
  }
}

// Of two digests found wrong behind the pass, the first in file order is the one told.
TEST(DigestBehindTest, TheFirstWrongDigestIsTheOneTold) {
  DigestBehind behind;
  ASSERT_TRUE(behind.Running());
  const uint8_t bytes[] = {1, 2, 3};
  for (size_t entry = 0; entry < 4; ++entry) {
    Sha256Digest expected = Sha256Of(bytes, sizeof bytes);
    expected.bytes[0] ^= entry == 1 || entry == 3 ? 1 : 0;
    behind.Begin(entry, expected, nullptr);
    behind.Add(bytes, sizeof bytes);
    behind.End();
  }
  EXPECT_EQ(behind.FirstMismatch(true), 1u);
  EXPECT_EQ(behind.OldestPending(), DigestBehind::kNone);
}

}  // namespace
