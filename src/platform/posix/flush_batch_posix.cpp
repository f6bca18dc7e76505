// The update pass's new files made durable together, natively: one syncfs of each file system
// they are on, after all of them were written, and the room left on a volume (statvfs).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/posix/native_path.h"
#include "platform/posix/posix_file.h"

namespace {

std::string ParentOf(const std::string& native) {
  size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

class PosixFlushBatch : public FlushBatch {
 public:
  void Add(const std::string& path) override {
    size_t index = added_++;
    std::string directory = ParentOf(NativePath(path));
    if (directory == lastDirectory_) return;
    struct stat st;
    if (::stat(directory.c_str(), &st) != 0) {
      Refuse(index);
      return;
    }
    lastDirectory_ = directory;
    for (const Volume& volume : volumes_) {
      if (volume.device == st.st_dev) return;
    }
    // Opened before the first new file on it is written: syncfs then reports a failed
    // write-back of any of them (it reports what failed since this open).
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      Refuse(index);
      return;
    }
    volumes_.push_back(Volume{st.st_dev, index, std::make_unique<ScopedFd>(fd)});
  }

  size_t Flush() override {
    size_t first = failed_;
    for (const Volume& volume : volumes_) {
      if (::syncfs(volume.fd->get()) != 0 && volume.firstFile < first) first = volume.firstFile;
    }
    return first < added_ ? first : added_;
  }

 private:
  struct Volume {
    dev_t device;
    size_t firstFile;  // the first file added on it
    std::unique_ptr<ScopedFd> fd;
  };

  void Refuse(size_t index) {
    if (index < failed_) failed_ = index;
    lastDirectory_.clear();
  }

  std::vector<Volume> volumes_;
  std::string lastDirectory_;
  size_t added_ = 0;
  size_t failed_ = SIZE_MAX;  // the first file whose volume could not be opened
};

}  // namespace

std::unique_ptr<FlushBatch> Env::StartFlushBatch() { return std::make_unique<PosixFlushBatch>(); }

bool Env::ReadDiskSpace(const std::string& directory, DiskSpace* space) {
  std::string native = NativePath(directory);
  struct statvfs vfs;
  struct stat st;
  if (::statvfs(native.c_str(), &vfs) != 0 || ::stat(native.c_str(), &st) != 0) return false;
  space->volume = std::to_string(static_cast<unsigned long long>(st.st_dev));
  uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  space->freeBytes = static_cast<uint64_t>(vfs.f_bavail) * unit;
  space->clusterBytes = unit ? unit : 1;
  return true;
}
