// Natively a temporary file is in use while its maker holds a lock (flock) on it: the lock
// goes with the process however it ends, and two running builds never take each other's.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "temporary_files.h"
#include "writer/pack_error.h"

namespace fs = std::filesystem;

namespace {

// The names the signal handler removes, one per slot while its file exists. The slots are
// fixed so that the handler reads them without allocating; a name beyond them is left to
// the next build.
constexpr size_t kSlots = 1024;
std::atomic<char*> gNames[kSlots];
// Set by the handler before it reads a slot; a name is freed only while it is clear.
std::atomic<bool> gEnding(false);

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int Register(const std::string& path) {
  char* name = new char[path.size() + 1];
  std::memcpy(name, path.c_str(), path.size() + 1);
  for (size_t i = 0; i < kSlots; ++i) {
    char* empty = nullptr;
    if (gNames[i].compare_exchange_strong(empty, name)) return static_cast<int>(i);
  }
  delete[] name;
  return -1;
}

void Unregister(int slot) {
  if (slot < 0) return;
  char* name = gNames[slot].exchange(nullptr);
  // The slot is emptied before the flag is read, and the handler sets the flag before it
  // reads the slots: either it never sees this name, or it is ending the process.
  if (!gEnding) delete[] name;
}

void OnSignal(int signal) {
  gEnding = true;
  for (std::atomic<char*>& slot : gNames) {
    const char* name = slot.load();
    if (name) ::unlink(name);
  }
  // SA_RESETHAND has put the default action back: once this returns, the signal ends the
  // process as it would have without the handler.
  ::raise(signal);
}

}  // namespace

TemporaryName::TemporaryName(const fs::path& output, const char* kind, const std::string& failure) {
  static std::atomic<unsigned long> counter(0);
  const std::string stem = output.native() + "." + kind + std::to_string(::getpid()) + "-";
  for (;;) {
    path_ = stem + std::to_string(counter++);
    held_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    // Taken: a file left by an earlier process of the same id.
    if (held_ < 0 && errno == EEXIST) continue;
    if (held_ < 0) throw PackError(failure + ": " + std::strerror(errno));
    // Between the creation and the lock another build may have locked the file and removed
    // it as stale: then it has no name left, and the next number is tried. A file system
    // without locks holds nothing, and there no build removes anything either.
    struct stat st;
    bool taken = ::flock(held_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!taken && ::fstat(held_, &st) == 0 && st.st_nlink > 0) break;
    ::close(held_);
  }
  slot_ = Register(path_.native());
}

TemporaryName::~TemporaryName() {
  if (!renamed_) ::unlink(path_.c_str());
  Renamed();
}

void TemporaryName::Renamed() {
  renamed_ = true;
  Unregister(slot_);
  slot_ = -1;
  if (held_ >= 0) ::close(held_);
  held_ = -1;
}

void RemoveIfStale(const fs::path& path, unsigned long) {
  struct stat named, opened;
  if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return;
  int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  // Locked, the file stays unused: only its maker renames or removes it, and it is gone.
  // The name must still be the file locked, not one made since.
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
      ::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
      named.st_ino == opened.st_ino) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

void RemoveTemporariesWhenInterrupted() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESETHAND;
  for (int signal : kSignals) {
    struct sigaction previous;
    // A signal the caller ignores (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void StopIfInterrupted() {}
