#include "platform/win32/directory_lock_win32.h"

#include <windows.h>

#include "platform/name_case.h"
#include "platform/sha256.h"

namespace {

class MutexLock : public DirectoryLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

// A name for the lock of `directory` in the machine's namespace: the same directory, the same
// name, in every session.
std::string LockName(const std::string& directory) {
  std::string folded = FoldedName(directory);
  Sha256Digest digest = Sha256Of(folded.data(), folded.size());
  return "Global\\vareri-update-" + digest.Hex().substr(0, 32);
}

}  // namespace

std::unique_ptr<DirectoryLock> LockDirectoryByMutex(const std::string& directory) {
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, LockName(directory).c_str());
  // Without a mutex there is nothing to hold: the run goes on as runs always have.
  if (!mutex) return std::make_unique<DirectoryLock>();
  DWORD waited = ::WaitForSingleObject(mutex, 0);
  // Abandoned: its holder ended without releasing it, so it is this run's now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    return std::make_unique<MutexLock>(mutex);
  }
  ::CloseHandle(mutex);
  return nullptr;
}
