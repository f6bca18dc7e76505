// The engine's OS services over POSIX. Windows rules are kept where the engine relies on
// them: exclusive opens (flock), a file without write permission is read-only even for
// root (as the read-only attribute binds administrators), MoveFile never replaces.
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/env.h"
#include "platform/lz_expand.h"
#include "platform/posix/native_path.h"
#include "platform/posix/posix_error.h"
#include "platform/posix/posix_file.h"

namespace {

bool IsReadOnly(const struct stat& st) { return (st.st_mode & 0222) == 0; }

// Opens `native` with `flags` and an exclusive lock; -1 when either is refused.
int OpenLocked(const std::string& native, int flags, mode_t mode = 0) {
  int fd = ::open(native.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class PosixEnv : public Env {
 public:
  std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting) override {
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return nullptr;
    if (forWriting && IsReadOnly(st)) return nullptr;
    int fd = OpenLocked(native, forWriting ? O_RDWR : O_RDONLY);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFile>(fd, path);
  }

  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override {
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) == 0 && IsReadOnly(st)) return nullptr;
    // Lock before emptying, so a file in use elsewhere is refused, not truncated.
    int fd = OpenLocked(native, O_RDWR | O_CREAT, 0644);
    if (fd < 0) return nullptr;
    // Truncating an empty file is not free on every file system (ext4 then flushes the
    // rewritten data at close), so only a file with contents is emptied.
    struct stat now;
    if (::fstat(fd, &now) != 0 || (now.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixFile>(fd, path);
  }

  FileIdentity ReadFileIdentity(const std::string& path) override {
    return ::ReadFileIdentity(path);
  }

  std::string TempDirectory() override {
    const char* dir = std::getenv("TMPDIR");
    std::string temp = (dir && *dir) ? dir : "/tmp";
    if (temp.back() != '/' && temp.back() != '\\') temp += '/';
    return temp;
  }

  std::string CreateTempFile(const std::string& directory, const char* prefix) override {
    std::string base = directory;
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '\\';
    std::random_device device;
    unsigned start = device() & 0xFFFF;
    for (unsigned i = 0; i < 0x10000; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "%s%X.TMP", prefix, (start + i) & 0xFFFF);
      std::string path = base + name;
      int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        ::close(fd);
        return path;
      }
      if (errno != EEXIST) return std::string();
    }
    return std::string();
  }

  bool RemoveFile(const std::string& path) override {
    std::string native = NativePath(path);
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || IsReadOnly(st)) return false;
    return ::unlink(native.c_str()) == 0;
  }

  bool RenameFile(const std::string& from, const std::string& to) override {
    std::string source = NativePath(from);
    std::string target = NativePath(to);
    // link + unlink never replaces an existing name, as MoveFile requires.
    if (::link(source.c_str(), target.c_str()) != 0) {
      if (errno == EEXIST) return false;
      struct stat st;
      if (::lstat(target.c_str(), &st) == 0) return false;
      return ::rename(source.c_str(), target.c_str()) == 0;
    }
    if (::unlink(source.c_str()) != 0) {
      ::unlink(target.c_str());
      return false;
    }
    return true;
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    std::string target = NativePath(to);
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
      if (IsReadOnly(st) || S_ISDIR(st.st_mode)) return false;
      // A target another program holds open cannot be replaced, as on Windows.
      int fd = OpenLocked(target, O_RDONLY);
      if (fd < 0) return false;
      ::close(fd);
    }
    return ::rename(NativePath(from).c_str(), target.c_str()) == 0;
  }

  int64_t ExpandFile(const std::string& source, const std::string& target) override {
    return ::ExpandFile(source, target);
  }
};

}  // namespace

Env& Env::Default() {
  static PosixEnv env;
  return env;
}
