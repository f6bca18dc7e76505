// The steps that give a file its name, made while another program holds the file open with
// no sharing, as a scanner does: each waits for it to let go, then goes through. And a
// replacement, watched from another thread: the name leads to a file at every moment.
#include "platform/env.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "support/temp_dir.h"
#include "support/test_env.h"

namespace {

// Lets go of the held file at the first pause.
class Scanned : public TestEnv {
 public:
  using TestEnv::TestEnv;
  void Pause(unsigned ms) override {
    TestEnv::Pause(ms);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
  }
  HANDLE held = INVALID_HANDLE_VALUE;
};

TEST(Env, AStepWaitsForAScannerToLetGo) {
  TempDir dir;
  const std::string made = dir.path() + "\\A.DLL~UPD", target = dir.path() + "\\A.DLL";
  // heldOld: the scanner holds the previous version while a backup of it is made.
  enum Step { place, replace, replaceKeeping, heldOld, rename };
  for (Step step : {place, replace, replaceKeeping, heldOld, rename}) {
    Scanned env(dir.path() + "\\");
    ::DeleteFileA((target + "_").c_str());  // an earlier backup, as the update pass does first
    if (step != rename) env.CreateExclusive(made)->Flush();
    std::string held = step == rename || step == heldOld ? target : made;
    env.held = ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(env.held, INVALID_HANDLE_VALUE) << step;
    bool done = step == place ? env.PlaceNewFile(made, target)
                : step == rename
                    ? env.RenameFile(target, dir.path() + "\\A.DL_")
                    : env.ReplaceWithBackup(made, target, step == replace ? "" : target + "_") ==
                          ReplaceOutcome::replaced;
    EXPECT_TRUE(done) << step;
    EXPECT_EQ(env.pauses, std::vector<unsigned>{Env::kRetryPausesMs[0]}) << step;  // one busy try
  }
}

TEST(Env, AReplacedFileNeverLeavesItsName) {
  TempDir dir;
  const std::string target = dir.path() + "\\A.DLL", made = target + "~UPD";
  TestEnv env(dir.path() + "\\");
  dir.Write("A.DLL", {'o', 'l', 'd'});
  std::atomic<bool> done{false};
  std::atomic<long> missing{0};
  std::thread watcher([&] {
    while (!done) missing += ::GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES;
  });
  for (int k = 0; k < 20; ++k) {  // with a backup kept every second time
    env.CreateExclusive(made)->Write("new", 3);
    std::string backup = k % 2 ? target + "_" : "";
    if (!backup.empty()) ::DeleteFileA(backup.c_str());  // as the update pass does first
    EXPECT_EQ(env.ReplaceWithBackup(made, target, backup), ReplaceOutcome::replaced) << k;
  }
  done = true;
  watcher.join();
  EXPECT_EQ(missing, 0);
  EXPECT_NE(::GetFileAttributesA((target + "_").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Another file under the backup name is never taken for a link to the previous version
// left by an earlier try: the previous version keeps its name and bytes, the other its own.
TEST(Env, ABackupNameTakenByAnotherFileIsNeverReplaced) {
  TempDir dir;
  const std::string target = dir.path() + "\\A.DLL", made = target + "~UPD";
  const std::string backup = dir.path() + "\\A.DL_";
  TestEnv env(dir.path() + "\\");
  dir.Write("A.DLL", {'o', 'l', 'd'});
  dir.Write("A.DL_", {'o', 't', 'h', 'e', 'r'});
  env.CreateExclusive(made)->Write("new", 3);
  EXPECT_EQ(env.ReplaceWithBackup(made, target, backup), ReplaceOutcome::backupFailed);
  EXPECT_EQ(FileText(target), "old");
  EXPECT_EQ(FileText(backup), "other");
}

// The file made under the new name is moved away and deleted, and another made under the
// name, as a program outside the system's sharing can: the file that takes the freed index
// on the volume is never put in place, and the target keeps its bytes.
TEST(Env, AFileMadeAgainUnderTheNameIsNeverPutInPlace) {
  TempDir dir;
  const std::string target = dir.path() + "\\A.DLL", made = target + "~UPD", away = made + "x";
  enum Step { place, replace, replaceKeeping };
  for (Step step : {place, replace, replaceKeeping}) {
    TestEnv env(dir.path() + "\\");
    if (step != place) dir.Write("A.DLL", {'o', 'l', 'd'});
    env.CreateExclusive(made)->Write("new", 3);
    ASSERT_TRUE(::MoveFileA(made.c_str(), away.c_str())) << step;
    ::DeleteFileA(away.c_str());
    dir.Write("A.DLL~UPD", {'p', 'l', 'a', 'n', 't', 'e', 'd'});
    if (step == place) {
      EXPECT_FALSE(env.PlaceNewFile(made, target));
      EXPECT_EQ(::GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES);
    } else {
      std::string backup = step == replace ? "" : dir.path() + "\\A.DL_";
      EXPECT_EQ(env.ReplaceWithBackup(made, target, backup), ReplaceOutcome::failed) << step;
      EXPECT_EQ(FileText(target), "old") << step;
      EXPECT_EQ(::GetFileAttributesA((dir.path() + "\\A.DL_").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    ::DeleteFileA(made.c_str());
    ::DeleteFileA(target.c_str());
  }
}

}  // namespace
