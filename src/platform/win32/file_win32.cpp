// CFile over a Win32 handle opened with share mode 0.
#include "platform/exceptions.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_file.h"

size_t Win32File::Read(void* buffer, size_t count) {
  DWORD done = 0;
  DWORD want = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count);
  if (!::ReadFile(handle_, buffer, want, &done, nullptr)) ThrowWin32Error("Reading " + path_);
  return done;
}

size_t Win32File::ReadAt(uint64_t offset, void* buffer, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    // The offset in the OVERLAPPED: one call instead of a seek and a read.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD want = count - done > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count - done);
    DWORD got = 0;
    if (!::ReadFile(handle_, out + done, want, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      ThrowWin32Error("Reading " + path_);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

void Win32File::Write(const void* data, size_t count) {
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    DWORD want = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count);
    DWORD done = 0;
    if (!::WriteFile(handle_, bytes, want, &done, nullptr)) ThrowWin32Error("Writing " + path_);
    if (done == 0) ThrowWin32Error("Writing " + path_, ERROR_DISK_FULL);
    bytes += done;
    count -= done;
  }
}

void Win32File::Flush() {
  if (!::FlushFileBuffers(handle_)) ThrowWin32Error("Writing " + path_);
}

uint64_t Win32File::Tell() { return Move(0, FILE_CURRENT, "Querying the position in "); }

uint64_t Win32File::SeekRelative(int64_t delta) { return Move(delta, FILE_CURRENT, "Moving in "); }

uint64_t Win32File::SeekAbsolute(uint64_t offset) {
  return Move(static_cast<int64_t>(offset), FILE_BEGIN, "Moving in ");
}

uint64_t Win32File::Length() {
  DWORD high = 0;
  DWORD low = ::GetFileSize(handle_, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    ThrowWin32Error("Querying the size of " + path_);
  }
  return (static_cast<uint64_t>(high) << 32) | low;
}

uint64_t Win32File::Move(int64_t distance, DWORD method, const char* what) {
  LONG high = static_cast<LONG>(distance >> 32);
  SetLastError(NO_ERROR);
  DWORD low = ::SetFilePointer(handle_, static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) ThrowWin32Error(what + path_);
  return (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
}

std::unique_ptr<CFile> OpenForReading(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) ThrowWin32Error("Opening " + path);
  char full[MAX_PATH];
  DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  std::string fullPath = (n > 0 && n < MAX_PATH) ? std::string(full, n) : path;
  return std::make_unique<Win32File>(h, fullPath);
}
