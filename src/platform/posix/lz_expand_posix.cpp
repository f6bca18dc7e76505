// ExpandFile for the POSIX backend: the portable SZDD expander between two descriptors.
// Failures of any kind are reported through the return value, as the platform's
// CopyLZFile reports them; nothing is raised.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "lz/szdd.h"
#include "platform/lz_expand.h"
#include "platform/posix/native_path.h"
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

// Raised by the descriptor streams, caught in ExpandFile: the interface has no other
// way to stop the expander mid-stream.
struct IoFailure {};

class FdSource : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  size_t Read(uint8_t* buffer, size_t count) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, count);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) throw IoFailure();
    }
  }

 private:
  int fd_;
};

class FdSink : public ByteSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  void Write(const uint8_t* data, size_t count) override {
    while (count > 0) {
      ssize_t n = ::write(fd_, data, count);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw IoFailure();
      }
      data += n;
      count -= static_cast<size_t>(n);
    }
  }

 private:
  int fd_;
};

}  // namespace

int64_t ExpandFile(const std::string& source, const std::string& target) {
  try {
    ScopedFd in(::open(NativePath(source).c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return -1;
    struct stat inStat;
    if (::fstat(in.get(), &inStat) != 0 || S_ISDIR(inStat.st_mode)) return -1;
    ScopedFd out(::open(NativePath(target).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (out.get() < 0) return -1;
    // Emptying the source by expanding it onto itself would lose it.
    struct stat outStat;
    if (::fstat(out.get(), &outStat) != 0) return -1;
    if (outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino) return -1;
    // Only a file with contents is emptied: truncating can cost a flush at close.
    if (outStat.st_size != 0 && ::ftruncate(out.get(), 0) != 0) return -1;
    FdSource reader(in.get());
    FdSink writer(out.get());
    SzddResult result = SzddExpand(reader, writer);
    if (!result.ok) return -1;
    if (::close(out.release()) != 0) return -1;
    return static_cast<int64_t>(result.written);
  } catch (...) {
    // IoFailure, or an allocation failure in the expander or in NativePath.
    return -1;
  }
}
