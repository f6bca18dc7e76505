// An Env for tests: the real backend with its own temporary-files directory, and the
// option to make one chosen call fail (the Nth, once or from then on), or to end the
// process abruptly at it, including the reads, writes, moves and flushes of the files it
// hands out. The steps that give a new file its name can be made busy, as a scanner that
// holds the file makes them; the pauses between their tries are recorded, never waited.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"

class TestEnv : public Env {
 public:
  explicit TestEnv(std::string tempDirectory, Env& inner = Env::Default())
      : inner_(inner), temp_(std::move(tempDirectory)) {}

  // Fails call number `n` (1-based, counted from now) and the `count` - 1 after it; with
  // `sticky` every later call too.
  void FailCall(long n, bool sticky, long count = 1) {
    calls = 0;
    failAt_ = n;
    failCount_ = count;
    sticky_ = sticky;
    fired = false;
    removeFailed = false;
    faultedOn.clear();
  }
  void Heal() { failAt_ = 0; }
  // Ends the process at call number `n` as a kill would (SIGKILL natively, TerminateProcess
  // with exit code kKilledCode on Windows): nothing after it runs, no destructor, no flush.
  void KillAtCall(long n) {
    calls = 0;
    killAt_ = n;
  }
  static constexpr int kKilledCode = 137;

  // Counts a call and tells whether it must fail. The update pass writes its larger new
  // files from a second thread: calls are counted one at a time.
  bool Fault(const char* what);

  std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting,
                                       FileCause* why) override;
  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override;
  bool ProbeNewFile(const std::string& path) override;
  FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier) override;
  NameKind InspectName(const std::string& path) override;
  TryResult TryPlaceNewFile(const std::string& newFile, const std::string& target) override;
  TryResult TryRenameFile(const std::string& from, const std::string& to) override;
  void Pause(unsigned ms) override { pauses.push_back(ms); }
  bool CreateDirectories(const std::string& directory) override;
  std::unique_ptr<DirectoryLock> LockDirectory(const std::string& directory) override;
  std::string TempDirectory() override;
  bool RemoveFile(const std::string& path) override;
  ExpandOutcome ExpandPayload(ByteSource& stored, const std::string& tempDirectory,
                              ByteSink& out) override;
  std::unique_ptr<ScratchHold> HoldScratch() override { return inner_.HoldScratch(); }
  ReplaceOutcome TryReplaceWithBackup(const std::string& newFile, const std::string& target,
                                      const std::string& backup) override;
  void SyncDirectory(const std::string& directory) override;
  std::unique_ptr<FlushBatch> StartFlushBatch() override;
  bool ReadDiskSpace(const std::string& directory, DiskSpace* space) override;

  // Wraps a file so that its calls count and can fail too.
  std::unique_ptr<CFile> Wrap(std::unique_ptr<CFile> file);

  long calls = 0;
  bool fired = false;
  bool removeFailed = false;  // a fault hit a RemoveFile: a temporary file may stay
  std::string faultedOn;      // the operation the first fault hit
  std::string tempOverride;   // when set, TempDirectory returns it instead
  // With it, a fault that hits a try of ReplaceWithBackup, PlaceNewFile or RenameFile makes
  // it busy, changing nothing, rather than refused.
  bool busyFaults = false;
  std::vector<unsigned> pauses;  // every pause asked for, in milliseconds
  // Called with the operation's name before each counted call: a test acts there, between
  // two steps of a run.
  std::function<void(const std::string& what)> before;
  // A directory (Windows path, ending in a backslash) in which no new file can be made, as
  // in one the user may not write: CreateExclusive and ProbeNewFile refuse files in it.
  std::string lockedDirectory;
  // When set, every volume has this many bytes free.
  std::optional<uint64_t> freeBytes;

 private:
  bool InLockedDirectory(const std::string& path) const;
  // Counts a try of the step `what`: busy or refused when it must fail so, done when the
  // real backend is to make it.
  TryResult Try(const char* what) {
    if (!Fault(what)) return TryResult::done;
    return busyFaults ? TryResult::busy : TryResult::refused;
  }

  Env& inner_;
  std::string temp_;
  long failAt_ = 0;
  long failCount_ = 1;
  bool sticky_ = false;
  long killAt_ = 0;
  std::recursive_mutex counting_;  // held while a call is counted and `before` runs
};
