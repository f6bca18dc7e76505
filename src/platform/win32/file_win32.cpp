// CFile over a Win32 handle opened with share mode 0.
#include <windows.h>

#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/win32/win32_error.h"

namespace {

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ~ScopedHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return h_; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h;
  }

 private:
  HANDLE h_;
};

class Win32File : public CFile {
 public:
  Win32File(HANDLE h, std::string path) : handle_(h), path_(std::move(path)) {}

  size_t Read(void* buffer, size_t count) override {
    DWORD done = 0;
    DWORD want = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count);
    if (!::ReadFile(handle_.get(), buffer, want, &done, nullptr)) {
      ThrowWin32Error("Reading " + path_);
    }
    return done;
  }
  uint64_t Tell() override { return Move(0, FILE_CURRENT, "Querying the position in "); }
  uint64_t SeekRelative(int64_t delta) override { return Move(delta, FILE_CURRENT, "Moving in "); }
  uint64_t SeekAbsolute(uint64_t offset) override {
    return Move(static_cast<int64_t>(offset), FILE_BEGIN, "Moving in ");
  }
  uint64_t Length() override {
    DWORD high = 0;
    DWORD low = ::GetFileSize(handle_.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
      ThrowWin32Error("Querying the size of " + path_);
    }
    return (static_cast<uint64_t>(high) << 32) | low;
  }
  const std::string& FullPath() const override { return path_; }

 private:
  uint64_t Move(int64_t distance, DWORD method, const char* what) {
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);
    DWORD low = ::SetFilePointer(handle_.get(), static_cast<LONG>(distance & 0xFFFFFFFF), &high,
                                 method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
      ThrowWin32Error(what + path_);
    }
    return (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
  }

  ScopedHandle handle_;
  std::string path_;
};

}  // namespace

std::unique_ptr<CFile> OpenForReading(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) ThrowWin32Error("Opening " + path);
  ScopedHandle guard(h);
  char full[MAX_PATH];
  DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  std::string fullPath = (n > 0 && n < MAX_PATH) ? std::string(full, n) : path;
  return std::make_unique<Win32File>(guard.release(), fullPath);
}
