// CFile over a POSIX descriptor. "No sharing" is an exclusive flock: a second open of
// the same file through this backend fails as a sharing violation.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/exceptions.h"
#include "platform/posix/native_path.h"
#include "platform/posix/posix_error.h"
#include "platform/posix/posix_file.h"

ScopedFd::~ScopedFd() {
  if (fd_ >= 0) ::close(fd_);
}

PosixFile::~PosixFile() { ::close(fd_); }

size_t PosixFile::Read(void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) ThrowPosixError("Reading " + path_, errno);
  }
}

size_t PosixFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowPosixError("Reading " + path_, errno);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void PosixFile::Write(const void* data, size_t count) {
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    ssize_t n = ::write(fd_, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ThrowPosixError("Writing " + path_, n < 0 ? errno : ENOSPC);
    bytes += n;
    count -= static_cast<size_t>(n);
  }
}

void PosixFile::Flush() {
  if (::fsync(fd_) != 0) ThrowPosixError("Writing " + path_, errno);
}

void PosixFile::StartWriteBack() {
#if defined(__linux__)
  ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool PosixFile::ReadIdentity(FileIdentity* identity) { return ReadOpenIdentity(fd_, identity); }

uint64_t PosixFile::Tell() { return Move(0, SEEK_CUR, "Querying the position in "); }

uint64_t PosixFile::SeekRelative(int64_t delta) { return Move(delta, SEEK_CUR, "Moving in "); }

uint64_t PosixFile::SeekAbsolute(uint64_t offset) {
  if (offset > static_cast<uint64_t>(INT64_MAX)) ThrowPosixError("Moving in " + path_, EINVAL);
  return Move(static_cast<int64_t>(offset), SEEK_SET, "Moving in ");
}

uint64_t PosixFile::Length() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) ThrowPosixError("Querying the size of " + path_, errno);
  return static_cast<uint64_t>(st.st_size);
}

uint64_t PosixFile::Move(int64_t offset, int whence, const char* what) {
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0) ThrowPosixError(what + path_, errno);
  return static_cast<uint64_t>(r);
}

std::unique_ptr<CFile> OpenForReading(const std::string& path) {
  std::string native = NativePath(path);
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowPosixError("Opening " + path, errno);
  char full[PATH_MAX];
  std::string fullPath = ::realpath(native.c_str(), full) ? std::string(full) : native;
  auto file = std::make_unique<PosixFile>(fd, fullPath);
  struct stat st;
  if (::fstat(fd, &st) != 0) ThrowPosixError("Opening " + path, errno);
  if (S_ISDIR(st.st_mode)) ThrowPosixError("Opening " + path, EISDIR);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) ThrowPosixError("Opening " + path, errno);
  return file;
}
