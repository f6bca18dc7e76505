// The update pass's new files made durable together on Windows: FlushFileBuffers of each,
// once all of them were written, and the room left on a volume (GetDiskFreeSpace).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/env.h"

namespace {

class Win32FlushBatch : public FlushBatch {
 public:
  void Add(const std::string& path) override { paths_.push_back(path); }

  size_t Flush() override {
    for (size_t k = 0; k < paths_.size(); ++k) {
      if (!FlushOne(paths_[k])) return k;
    }
    return paths_.size();
  }

 private:
  // The file was closed when it was written; it is opened again to be flushed, sharing what
  // a scanner that looks at it may hold. A scanner that shares nothing is waited for.
  static bool FlushOne(const std::string& path) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    for (size_t tries = 0;; ++tries) {
      HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        bool flushed = ::FlushFileBuffers(h) != 0;
        ::CloseHandle(h);
        return flushed;
      }
      if (::GetLastError() != ERROR_SHARING_VIOLATION ||
          tries == sizeof Env::kRetryPausesMs / sizeof Env::kRetryPausesMs[0]) {
        return false;
      }
      ::Sleep(Env::kRetryPausesMs[tries]);
    }
  }

  std::vector<std::string> paths_;
};

}  // namespace

std::unique_ptr<FlushBatch> Env::StartFlushBatch() { return std::make_unique<Win32FlushBatch>(); }

bool Env::ReadDiskSpace(const std::string& directory, DiskSpace* space) {
  char root[MAX_PATH + 1];
  ULARGE_INTEGER available;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!::GetVolumePathNameA(directory.c_str(), root, sizeof root) ||
      !::GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr)) {
    return false;
  }
  space->volume = root;
  space->freeBytes = available.QuadPart;
  space->clusterBytes = 1;
  if (::GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
      sectorsPerCluster * bytesPerSector > 0) {
    space->clusterBytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
  }
  return true;
}
