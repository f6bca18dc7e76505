// Windows only: the portable reader must agree with the OS's version API on every DLL of the
// system directory. Where the OS finds no fixed version, ours must refuse too (return false):
// the engine treats both as 0.0, but a stricter test catches a reader that finds versions
// the OS would not, which would make an updater see a file as newer than Windows does.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/pe_version.h"
#include "platform/win32/win32_error.h"

namespace {

// Opens with full sharing, as a DLL in use may be mapped by others; OpenForReading's
// exclusive open would fail on those.
class SharedFile : public CFile {
 public:
  explicit SharedFile(const std::string& path) : path_(path) {
    handle_ = ::CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) ThrowWin32Error("Opening " + path);
  }
  ~SharedFile() override { ::CloseHandle(handle_); }
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  size_t Read(void* buffer, size_t count) override {
    DWORD done = 0;
    DWORD want = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count);
    if (!::ReadFile(handle_, buffer, want, &done, nullptr)) ThrowWin32Error("Reading " + path_);
    return done;
  }
  uint64_t Tell() override { return Move(0, FILE_CURRENT); }
  uint64_t SeekRelative(int64_t delta) override { return Move(delta, FILE_CURRENT); }
  uint64_t SeekAbsolute(uint64_t offset) override {
    return Move(static_cast<int64_t>(offset), FILE_BEGIN);
  }
  uint64_t Length() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) ThrowWin32Error("Querying the size of " + path_);
    return static_cast<uint64_t>(size.QuadPart);
  }
  const std::string& FullPath() const override { return path_; }

 private:
  uint64_t Move(int64_t distance, DWORD method) {
    LARGE_INTEGER move, result;
    move.QuadPart = distance;
    if (!::SetFilePointerEx(handle_, move, &result, method)) ThrowWin32Error("Moving in " + path_);
    return static_cast<uint64_t>(result.QuadPart);
  }

  HANDLE handle_;
  std::string path_;
};

struct Version {
  bool found = false;
  uint32_t ms = 0;
  uint32_t ls = 0;
};

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// What the OS reports, in the same terms as the Win32 backend uses.
Version OsVersion(const std::string& path) {
  Version v;
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return v;
  std::vector<uint8_t> buffer(size, 0);
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, buffer.data())) return v;
  void* value = nullptr;
  UINT length = 0;
  char root[] = "\\";
  if (!::VerQueryValueA(buffer.data(), root, &value, &length) || length == 0) return v;
  const uint8_t* fixed = static_cast<const uint8_t*>(value);
  v.found = true;
  v.ms = Get32(fixed + 8);
  v.ls = Get32(fixed + 12);
  return v;
}

// True when the file's new header is a 16-bit "NE" one. The OS reads versions from those
// too, but ReadPeFileVersion is for PE images only, so they are counted, not compared.
bool IsSixteenBit(CFile& file) {
  uint8_t dos[64];
  uint8_t magic[2];
  file.SeekAbsolute(0);
  if (file.Read(dos, sizeof dos) != sizeof dos || dos[0] != 'M' || dos[1] != 'Z') return false;
  file.SeekAbsolute(Get32(dos + 0x3C));
  return file.Read(magic, 2) == 2 && magic[0] == 'N' && magic[1] == 'E';
}

struct Tally {
  int compared = 0;
  int withVersion = 0;
  int sixteenBit = 0;
};

// Compares every file matching `pattern` in `dir`.
void CompareDirectory(const std::string& dir, const char* pattern, Tally* tally) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((dir + "\\" + pattern).c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE) << dir;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string path = dir + "\\" + data.cFileName;
    Version os = OsVersion(path);
    Version ours;
    SharedFile file(path);
    if (IsSixteenBit(file)) {
      ++tally->sixteenBit;
      continue;
    }
    ours.found = ReadPeFileVersion(file, &ours.ms, &ours.ls);
    ++tally->compared;
    tally->withVersion += os.found ? 1 : 0;
    EXPECT_EQ(ours.found, os.found) << path;
    if (ours.found && os.found) {
      EXPECT_EQ(ours.ms, os.ms) << path;
      EXPECT_EQ(ours.ls, os.ls) << path;
    }
    // The backend the engine uses gives the same, with 0.0 for no version.
    FileIdentity identity = ReadFileIdentity(path);
    EXPECT_TRUE(identity.found) << path;
    EXPECT_EQ(identity.versionMS, os.ms) << path;
    EXPECT_EQ(identity.versionLS, os.ls) << path;
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
}

void Report(const char* what, const std::string& dir, const Tally& tally, double seconds) {
  std::printf("%s: compared %d PE files in %s, %d with a version, %d 16-bit skipped, %.1f s\n",
              what, tally.compared, dir.c_str(), tally.withVersion, tally.sixteenBit, seconds);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(PeAgreement, EverySystemDllReadsAsTheOsReadsIt) {
  auto start = std::chrono::steady_clock::now();
  char system[MAX_PATH];
  UINT n = ::GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  std::string dir(system, n);
  Tally tally;
  CompareDirectory(dir, "*.dll", &tally);
  Report("system DLLs", dir, tally, SecondsSince(start));
  EXPECT_GE(tally.compared, 50);
  EXPECT_GE(tally.withVersion, 50);
  // Programs carry version resources the same way; they widen the sample.
  Tally programs;
  CompareDirectory(dir, "*.exe", &programs);
  Report("system programs", dir, programs, SecondsSince(start));
}

// The system directory of a 32-bit prefix holds PE32 images only. Wine's own 64-bit DLLs, on
// the host disk, give real PE32+ images to compare when they are installed.
TEST(PeAgreement, HostPe32PlusDllsReadAsTheOsReadsThem) {
  const std::string dir = "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";
  DWORD attributes = ::GetFileAttributesA(dir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    GTEST_SKIP() << "no 64-bit Wine DLLs at " << dir;
  }
  auto start = std::chrono::steady_clock::now();
  Tally tally;
  CompareDirectory(dir, "*.dll", &tally);
  Report("host PE32+ DLLs", dir, tally, SecondsSince(start));
  EXPECT_GE(tally.compared, 50);
  EXPECT_GE(tally.withVersion, 50);
}

}  // namespace
