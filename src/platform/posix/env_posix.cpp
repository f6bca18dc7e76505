// The engine's OS services over POSIX. Windows rules are kept where the engine relies on
// them: exclusive opens (flock), a file without write permission is read-only even for
// root (as the read-only attribute binds administrators), only regular files are opened.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>

#include "platform/env.h"
#include "platform/lz_expand.h"
#include "platform/posix/deferred_closes.h"
#include "platform/posix/directory_listings.h"
#include "platform/posix/file_id.h"
#include "platform/posix/kept_identity.h"
#include "platform/posix/native_path.h"
#include "platform/posix/posix_error.h"
#include "platform/posix/posix_file.h"

namespace {

bool IsReadOnly(const struct stat& st) { return (st.st_mode & 0222) == 0; }

// Opens the regular file `native` with `flags` and an exclusive lock; -1 with the reason
// in `*why` when any of it is refused. O_NONBLOCK: should the name have become a FIFO
// since the caller looked, the open must not wait for a writer (regular files ignore it).
int OpenLocked(const std::string& native, int flags, FileCause* why, mode_t mode = 0) {
  ScopedFd fd(::open(native.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    *why = PosixCause(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    *why = FileCause::invalidFile;
    return -1;
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    *why = PosixCause(errno);
    return -1;
  }
  return fd.release();
}

// Whether the name `native`, not followed, still leads to the file `want`.
bool StillNames(const std::string& native, const FileId& want) {
  FileId now;
  return ReadFileIdOfName(native.c_str(), &now) && now == want;
}

class PosixLock : public DirectoryLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}

 private:
  ScopedFd fd_;  // flock'ed; closing releases it
};

class PosixEnv : public Env {
 public:
  std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting,
                                       FileCause* why) override {
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) {
      *why = PosixCause(errno);
      return nullptr;
    }
    // Decided before any open: a FIFO, a device or a directory is no installed file.
    if (!S_ISREG(st.st_mode)) {
      *why = FileCause::invalidFile;
      return nullptr;
    }
    if (forWriting && IsReadOnly(st)) {
      *why = FileCause::accessDenied;
      return nullptr;
    }
    int fd = OpenLocked(native, forWriting ? O_RDWR : O_RDONLY, why);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFile>(fd, path);
  }

  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override {
    std::string native = NativePath(path);
    DirectoryChange change{native};
    FileCause ignored;
    // O_EXCL: whatever has the name already (a link, another name of some file) is never
    // opened or emptied.
    ScopedFd fd(OpenLocked(native, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, &ignored, 0600));
    struct stat st;
    FileId id;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !ReadFileId(fd.get(), &id)) return nullptr;
    if ((st.st_mode & 07777) != 0600 && ::fchmod(fd.get(), 0600) != 0) return nullptr;
    made_[Key(native)] = id;
    return std::make_unique<PosixFile>(fd.release(), path);
  }

  bool ProbeNewFile(const std::string& path) override {
    for (int k = 0; k < 16; ++k) {
      std::string native = NativePath(k == 0 ? path : path + std::to_string(k));
      DirectoryChange change{native};
      ScopedFd fd(
          ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (fd.get() >= 0) {
        ::unlink(native.c_str());
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  NameKind InspectName(const std::string& path) override {
    struct stat st;
    if (::lstat(NativePath(path).c_str(), &st) != 0) {
      return errno == ENOENT ? NameKind::missing : NameKind::other;
    }
    if (S_ISDIR(st.st_mode)) return NameKind::directory;
    if (!S_ISREG(st.st_mode)) return NameKind::other;
    return IsReadOnly(st) ? NameKind::readOnlyFile : NameKind::file;
  }

  TryResult TryPlaceNewFile(const std::string& newFile, const std::string& target) override {
    std::string source = NativePath(newFile), placed = NativePath(target);
    auto made = made_.find(Key(source));
    if (made == made_.end()) return TryResult::refused;
    FileId want = made->second;
    DirectoryChange change{source, placed};
    if (!StillNames(source, want)) return Refused(source);
    // A second name first, which fails when the name is taken, then the first goes.
    if (::link(source.c_str(), placed.c_str()) != 0) {
      return errno == EBUSY ? TryResult::busy : Refused(source);
    }
    made_.erase(Key(source));
    ::unlink(source.c_str());
    return TryResult::done;
  }

  TryResult TryRenameFile(const std::string& from, const std::string& to) override {
    std::string source = NativePath(from), renamed = NativePath(to);
    DirectoryChange change{source, renamed};
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || IsReadOnly(st)) {
      return TryResult::refused;
    }
    if (::link(source.c_str(), renamed.c_str()) != 0) {
      return errno == EBUSY ? TryResult::busy : TryResult::refused;
    }
    return ::unlink(source.c_str()) == 0 ? TryResult::done : TryResult::refused;
  }

  void Pause(unsigned ms) override {
    struct timespec wait = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }

  bool CreateDirectories(const std::string& directory) override {
    std::string native = NativePath(directory);
    for (size_t at = 1; at <= native.size(); ++at) {
      if (at < native.size() && native[at] != '/') continue;
      std::string prefix = native.substr(0, at);
      DirectoryChange change{prefix};
      if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  std::unique_ptr<DirectoryLock> LockDirectory(const std::string& directory) override {
    std::string native = NativePath(directory);
    ScopedFd fd(::open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // A directory that cannot be opened is not changed by this run either.
    if (fd.get() < 0) return std::make_unique<DirectoryLock>();
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return nullptr;
    return std::make_unique<PosixLock>(fd.release());
  }

  FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier) override {
    return ::ReadFileIdentity(path, earlier);
  }

  std::string TempDirectory() override {
    const char* dir = std::getenv("TMPDIR");
    std::string temp = (dir && *dir) ? dir : "/tmp";
    if (temp.back() != '/' && temp.back() != '\\') temp += '/';
    return temp;
  }

  bool RemoveFile(const std::string& path) override {
    std::string native = NativePath(path);
    made_.erase(Key(native));
    DirectoryChange change{native};
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || IsReadOnly(st)) return false;
    return ::unlink(native.c_str()) == 0;
  }

  ExpandOutcome ExpandPayload(ByteSource& stored, const std::string& tempDirectory,
                              ByteSink& out) override {
    return ExpandStored(stored, tempDirectory, out);
  }
  // The portable expander reads the stored contents as they are: no temporary file to keep.
  std::unique_ptr<ScratchHold> HoldScratch() override { return std::make_unique<ScratchHold>(); }

  ReplaceOutcome TryReplaceWithBackup(const std::string& newFile, const std::string& target,
                                      const std::string& backup) override {
    std::string source = NativePath(newFile);
    ReplaceOutcome outcome = ReplaceOnce(source, target, backup);
    // The file made is remembered for the next try only.
    if (outcome != ReplaceOutcome::busy) made_.erase(Key(source));
    return outcome;
  }

  void SyncDirectory(const std::string& directory) override {
    // The previous versions replaced are freed first: the run that syncs is ending.
    closes_.Drain();
    std::string native = NativePath(directory);
    ScopedFd fd(::open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) (void)::fsync(fd.get());
  }

 private:
  // Forgets the file made under the native name `source`: a step refused for good is not
  // tried again.
  TryResult Refused(const std::string& source) {
    made_.erase(Key(source));
    return TryResult::refused;
  }

  // One try of TryReplaceWithBackup, the new file under the native name `source`.
  ReplaceOutcome ReplaceOnce(const std::string& source, const std::string& target,
                             const std::string& backup) {
    std::string replaced = NativePath(target);
    // The name must still lead to the file that was made and checked, not to one put in its
    // place since.
    auto made = made_.find(Key(source));
    if (made == made_.end()) return ReplaceOutcome::failed;
    FileId want = made->second;
    ScopedFd fresh(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    FileId mine;
    if (fresh.get() < 0 || !ReadFileId(fresh.get(), &mine) || !(mine == want)) {
      return ReplaceOutcome::failed;
    }
    struct stat st;
    bool exists = ::stat(replaced.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || IsReadOnly(st))) return ReplaceOutcome::failed;
    // A target another program holds open cannot be replaced, as on Windows. Held through the
    // rename, so that the previous version is freed after it, on the closes' threads.
    FileCause ignored;
    ScopedFd held(exists ? OpenLocked(replaced, O_RDONLY, &ignored) : -1);
    if (exists && held.get() < 0) return ReplaceOutcome::failed;
    if (exists) KeepIdentity(fresh.get(), st);
    if (!StillNames(source, want)) return ReplaceOutcome::failed;
    // The backup is a second name of the previous version, and the rename then gives the
    // target's name to the new file: at every moment the target names a whole file.
    std::string saved = backup.empty() ? std::string() : NativePath(backup);
    DirectoryChange change{source, replaced, saved};
    if (!saved.empty() && ::link(replaced.c_str(), saved.c_str()) != 0) {
      return ReplaceOutcome::backupFailed;
    }
    if (::rename(source.c_str(), replaced.c_str()) != 0) {
      bool busy = errno == EBUSY;
      if (!saved.empty()) ::unlink(saved.c_str());
      return busy ? ReplaceOutcome::busy : ReplaceOutcome::failed;
    }
    // Without a backup the previous version has no name left.
    if (saved.empty() && held.get() >= 0) closes_.Close(held.release());
    return ReplaceOutcome::replaced;
  }

  // The files CreateExclusive made, by a hash of their native name. A name must lead to the
  // file made under it: two names of one hash only refuse a step, never pass another file.
  static size_t Key(const std::string& native) { return std::hash<std::string>()(native); }
  std::map<size_t, FileId> made_;
  DeferredCloses closes_;
};

}  // namespace

Env& Env::Default() {
  static PosixEnv env;
  return env;
}
