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
#include "platform/file.h"
#include "platform/posix/posix_error.h"

namespace {

class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class PosixFile : public CFile {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  size_t Read(void* buffer, size_t count) override {
    for (;;) {
      ssize_t n = ::read(fd_.get(), buffer, count);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) ThrowPosixError("Reading " + path_, errno);
    }
  }
  uint64_t Tell() override { return Move(0, SEEK_CUR, "Querying the position in "); }
  uint64_t SeekRelative(int64_t delta) override {
    return Move(delta, SEEK_CUR, "Moving in ");
  }
  uint64_t SeekAbsolute(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) ThrowPosixError("Moving in " + path_, EINVAL);
    return Move(static_cast<int64_t>(offset), SEEK_SET, "Moving in ");
  }
  uint64_t Length() override {
    struct stat st;
    if (::fstat(fd_.get(), &st) != 0) ThrowPosixError("Querying the size of " + path_, errno);
    return static_cast<uint64_t>(st.st_size);
  }
  const std::string& FullPath() const override { return path_; }

 private:
  uint64_t Move(int64_t offset, int whence, const char* what) {
    off_t r = ::lseek(fd_.get(), static_cast<off_t>(offset), whence);
    if (r < 0) ThrowPosixError(what + path_, errno);
    return static_cast<uint64_t>(r);
  }

  ScopedFd fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<CFile> OpenForReading(const std::string& path) {
  std::string native = NativePath(path);
  ScopedFd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) ThrowPosixError("Opening " + path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) ThrowPosixError("Opening " + path, errno);
  if (S_ISDIR(st.st_mode)) ThrowPosixError("Opening " + path, EISDIR);
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) ThrowPosixError("Opening " + path, errno);
  char full[PATH_MAX];
  std::string fullPath = ::realpath(native.c_str(), full) ? std::string(full) : native;
  return std::make_unique<PosixFile>(fd.release(), fullPath);
}
