// ExpandStored for the Windows backend: the system's lz32, which expands SZDD files and
// copies any other file. lz32 reads only files, so the contents go to a temporary file
// first. The handle-based calls (LZInit, LZRead) take files opened here, which have no
// limit on their path's length, unlike LZOpenFileA's 128-byte OFSTRUCT.
#include <windows.h>
// windows.h first: lzexpand.h relies on its types.
#include <lzexpand.h>

#include <memory>

#include "platform/lz_expand.h"
#include "platform/win32/win32_error.h"

namespace {

constexpr DWORD kChunk = 64 * 1024;

// The temporary copy: a handle until lz32 takes it over, then an LZ handle. Either way
// closing it deletes the file.
class ScratchFile {
 public:
  ScratchFile(HANDLE handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  ~ScratchFile() {
    if (lz_ >= 0) {
      LZClose(lz_);
    } else {
      ::CloseHandle(handle_);
    }
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  HANDLE handle() const { return handle_; }
  const std::string& name() const { return name_; }
  // Hands the file to lz32, positioned at its start. False when lz32 refuses its header.
  bool Init() {
    if (::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
      ThrowWin32Error("Moving in " + name_);
    }
    INT lz = LZInit(static_cast<INT>(reinterpret_cast<INT_PTR>(handle_)));
    if (lz < 0) return false;
    lz_ = lz;
    return true;
  }
  INT lz() const { return lz_; }

 private:
  HANDLE handle_;
  std::string name_;
  INT lz_ = -1;
};

// A new "UPDxxxx.TMP" in `directory`, made already marked for deletion on close, so that
// no moment exists at which a killed process would leave it behind.
std::unique_ptr<ScratchFile> CreateScratchFile(const std::string& directory) {
  DWORD seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
  for (DWORD i = 0; i < 0x10000; ++i) {
    // A non-zero number only forms the name; GetTempFileNameA then creates nothing.
    UINT unique = ((seed + i) & 0xFFFF) | 1;
    char name[MAX_PATH];
    if (::GetTempFileNameA(directory.c_str(), "UPD", unique, name) == 0) break;
    HANDLE h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::make_unique<ScratchFile>(h, name);
    DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return nullptr;
}

void WriteAll(const ScratchFile& file, const uint8_t* data, size_t count) {
  while (count > 0) {
    DWORD done = 0;
    if (!::WriteFile(file.handle(), data, static_cast<DWORD>(count), &done, nullptr)) {
      ThrowWin32Error("Writing " + file.name());
    }
    if (done == 0) ThrowWin32Error("Writing " + file.name(), ERROR_DISK_FULL);
    data += done;
    count -= done;
  }
}

}  // namespace

ExpandOutcome ExpandStored(ByteSource& stored, const std::string& tempDirectory, ByteSink& out) {
  std::unique_ptr<ScratchFile> scratch = CreateScratchFile(tempDirectory);
  if (!scratch) return ExpandOutcome::noTempFile;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
  for (;;) {
    size_t n = stored.Read(buffer.get(), kChunk);
    if (n == 0) break;
    WriteAll(*scratch, buffer.get(), n);
  }
  if (!scratch->Init()) return ExpandOutcome::failed;
  for (;;) {
    INT n = LZRead(scratch->lz(), reinterpret_cast<LPSTR>(buffer.get()), kChunk);
    if (n < 0) return ExpandOutcome::failed;
    if (n == 0) return ExpandOutcome::expanded;
    try {
      out.Write(buffer.get(), static_cast<size_t>(n));
    } catch (const CFileException&) {
      return ExpandOutcome::failed;
    }
  }
}
