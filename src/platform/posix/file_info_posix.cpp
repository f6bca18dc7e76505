// File identity over stat() and the portable PE reader. The file is opened without a lock
// (other programs may hold it; we only look), and only regular files are opened at all, so a
// FIFO or device under an installed file's name cannot block or feed us endless bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/pe_version.h"
#include "platform/posix/native_path.h"
#include "platform/posix/posix_error.h"
#include "platform/posix/posix_file.h"

namespace {

uint32_t ClampSeconds(time_t seconds) {
  if (seconds < 0) return 0;
  if (static_cast<uint64_t>(seconds) > UINT32_MAX) return UINT32_MAX;
  return static_cast<uint32_t>(seconds);
}

void ReadVersion(const std::string& native, FileIdentity* identity) {
  // O_NONBLOCK: should the name have become a FIFO since stat(), open must not wait.
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  PosixFile file(fd, native);  // no flock: we only look
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  uint32_t ms = 0;
  uint32_t ls = 0;
  try {
    if (ReadPeFileVersion(file, &ms, &ls)) {
      identity->versionMS = ms;
      identity->versionLS = ls;
    }
  } catch (const CFileException&) {
    // An unreadable version is no version, as the Windows API reports it.
  }
}

// The mark of the file `st` describes: its device, inode and change time, in nanoseconds.
// A change time less than a second ago (or ahead of the clock) is left unknown.
FileChangeMark MarkOf(const struct stat& st) {
  FileChangeMark mark;
  mark.volume = static_cast<uint64_t>(st.st_dev);
  mark.file = static_cast<uint64_t>(st.st_ino);
  struct timespec now;
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || st.st_ctim.tv_sec <= 0) return mark;
  auto nanoseconds = [](const struct timespec& t) {
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
  };
  uint64_t changed = nanoseconds(st.st_ctim);
  if (changed + 1000000000u <= nanoseconds(now)) mark.changed = changed;
  return mark;
}

// What `st` tells of a file's identity: everything but the version.
void StatIdentity(const struct stat& st, FileIdentity* identity) {
  identity->found = true;
  identity->modified = ClampSeconds(st.st_mtime);
  // A directory has no size in its Windows directory entry, nor a version.
  if (S_ISDIR(st.st_mode)) return;
  identity->size = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size) & 0xFFFFFFFFu);
  if (S_ISREG(st.st_mode)) identity->mark = MarkOf(st);
}

}  // namespace

bool ReadOpenIdentity(int fd, FileIdentity* identity) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *identity = FileIdentity();
  StatIdentity(st, identity);
  return true;
}

FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier) {
  FileIdentity identity;
  std::string native = NativePath(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return identity;
  StatIdentity(st, &identity);
  if (!S_ISREG(st.st_mode)) return identity;
  if (!KeepEarlierVersion(&identity, earlier)) ReadVersion(native, &identity);
  return identity;
}
