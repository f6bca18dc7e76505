// File identity through the OS's own version API, which reads the file without locking it,
// and the size and time of the file's handle (of its directory entry when it does not open).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_info.h"
#include "platform/win32/made_files_win32.h"
#include "platform/win32/win32_file.h"

namespace {

// FILETIME counts 100 ns ticks since 1601-01-01; this many of them lie before 1970.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;
// A version block is at most 64 KiB (its length is 16 bits); the API asks for about twice
// that to hold ANSI copies. A buffer of that room holds every block whole, so the version is
// read with one call instead of asking its size first, which loads the file twice (Wine
// maps and parses it again for each of the two calls). A resource that claims more is cut
// to the room; the block's own length keeps the look-up inside it.
constexpr DWORD kVersionInfoRoom = 2 * 64 * 1024 + 4;

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint32_t UnixSeconds(const FILETIME& time) {
  uint64_t ticks = Ticks(time);
  if (ticks < kUnixEpochTicks) return 0;
  uint64_t seconds = (ticks - kUnixEpochTicks) / kTicksPerSecond;
  return seconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
}

void ReadVersion(const std::string& path, FileIdentity* identity) {
  std::vector<uint8_t> buffer(kVersionInfoRoom, 0);
  if (!::GetFileVersionInfoA(path.c_str(), 0, kVersionInfoRoom, buffer.data())) return;
  void* value = nullptr;
  UINT length = 0;
  char root[] = "\\";
  if (!::VerQueryValueA(buffer.data(), root, &value, &length) || value == nullptr || length == 0) {
    return;
  }
  // The value points into `buffer`; dwFileVersionMS/LS are its bytes 8..15, which must be
  // inside the buffer too.
  uintptr_t start = reinterpret_cast<uintptr_t>(buffer.data());
  uintptr_t at = reinterpret_cast<uintptr_t>(value);
  if (at < start || at - start > buffer.size() || buffer.size() - (at - start) < 16) return;
  const uint8_t* fixed = buffer.data() + (at - start);
  identity->versionMS = Get32(fixed + 8);
  identity->versionLS = Get32(fixed + 12);
}

// The mark of the file open as `h`: its index and change time. A change less than a second
// ago (or ahead of the clock), or a volume that keeps no change time, leaves it unknown.
FileChangeMark ReadMark(HANDLE h) {
  FileChangeMark mark;
  FILE_BASIC_INFO basic;
  LONGLONG index = 0;
  if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
      !ReadFileIndex(h, &index)) {
    return mark;
  }
  mark.file = static_cast<uint64_t>(index);
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  uint64_t changed = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
  if (basic.ChangeTime.QuadPart > 0 && changed + kTicksPerSecond <= Ticks(now)) {
    mark.changed = changed;
  }
  return mark;
}

// `path` opened for its attributes alone, which reads nothing and which no other program's
// sharing refuses: enough to tell a disk file from a device or a pipe (whose version query
// could wait forever) and to read its size, times and index. Closed when the holder goes.
class AttributesHandle {
 public:
  explicit AttributesHandle(const std::string& path)
      : handle_(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr)) {}
  ~AttributesHandle() {
    if (opened()) ::CloseHandle(handle_);
  }
  AttributesHandle(const AttributesHandle&) = delete;
  AttributesHandle& operator=(const AttributesHandle&) = delete;
  bool opened() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The size and last-write time of the file open as `h` into `identity`, found; false when
// the handle does not tell them.
bool ReadSizeAndTime(HANDLE h, FileIdentity* identity) {
  LARGE_INTEGER size;
  FILETIME written;
  if (!::GetFileSizeEx(h, &size) || !::GetFileTime(h, nullptr, nullptr, &written)) return false;
  identity->found = true;
  identity->size = static_cast<uint32_t>(size.QuadPart & 0xFFFFFFFFu);
  identity->modified = UnixSeconds(written);
  return true;
}

}  // namespace

bool ReadOpenIdentity(HANDLE h, FileIdentity* identity) {
  FileIdentity read;
  if (!ReadSizeAndTime(h, &read)) return false;
  read.mark = ReadMark(h);
  *identity = read;
  return true;
}

FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier) {
  FileIdentity identity;
  // FindFirstFileA takes a pattern; a name with wildcards would report some other file.
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return identity;
  AttributesHandle file(path);
  if (file.opened() && ::GetFileType(file.get()) != FILE_TYPE_DISK) return identity;
  // The mark before the version: a change while the version is read moves the mark that the
  // next call compares. Then the version, then the size and time, the order the updater has
  // always asked.
  if (file.opened()) identity.mark = ReadMark(file.get());
  if (!KeepEarlierVersion(&identity, earlier)) ReadVersion(path, &identity);
  // The handle that is open anyway gives what the directory entry gives for a file nobody is
  // writing, without FindFirstFileA's look-up of the name in its directory (nor
  // GetFileInformationByHandle's of the volume, which Wine makes slower still).
  if (file.opened() && ReadSizeAndTime(file.get(), &identity)) return identity;
  // A name that does not open (a directory among others) is left to its directory entry.
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return FileIdentity();
  ::FindClose(find);
  identity.found = true;
  identity.size = data.nFileSizeLow;
  identity.modified = UnixSeconds(data.ftLastWriteTime);
  return identity;
}
