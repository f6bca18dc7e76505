// ExpandStored for the Windows backend: the system's lz32, which expands SZDD files and
// copies any other file. lz32 reads only files, so the contents go to a temporary file
// first. The handle-based calls (LZInit, LZRead) take files opened here, which have no
// limit on their path's length, unlike LZOpenFileA's 128-byte OFSTRUCT.
#include <windows.h>
// windows.h first: lzexpand.h relies on its types.
#include <lzexpand.h>

#include <memory>

#include "platform/lz_expand.h"
#include "platform/win32/scratch_slot_win32.h"
#include "platform/win32/win32_error.h"

namespace {

constexpr DWORD kChunk = 64 * 1024;

}  // namespace

// The temporary copy, deleted when it is closed. lz32 closes the handle it is given, so it
// reads through a duplicate: the copy itself stays open for the next contents while a
// ScratchSlot keeps it.
class ScratchFile {
 public:
  ScratchFile(HANDLE handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  ~ScratchFile() { ::CloseHandle(handle_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  HANDLE handle() const { return handle_; }
  const std::string& name() const { return name_; }
  // Moves to the start; false when the system refuses.
  bool Rewind() const { return ::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == 0; }
  // Ends the file where the contents written end: lz32 reads to its end.
  void Cut() const {
    if (!::SetEndOfFile(handle_)) ThrowWin32Error("Writing " + name_);
  }

 private:
  HANDLE handle_;
  std::string name_;
};

ScratchSlot::ScratchSlot() = default;
ScratchSlot::~ScratchSlot() = default;

namespace {

// lz32 reading the copy from its start, through a handle of its own.
class LzReader {
 public:
  explicit LzReader(const ScratchFile& file) {
    if (!file.Rewind()) ThrowWin32Error("Moving in " + file.name());
    HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, file.handle(), self, &handle_, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      ThrowWin32Error("Reading " + file.name());
    }
    lz_ = LZInit(static_cast<INT>(reinterpret_cast<INT_PTR>(handle_)));
  }
  ~LzReader() {
    if (lz_ >= 0) {
      LZClose(lz_);
    } else {
      ::CloseHandle(handle_);
    }
  }
  LzReader(const LzReader&) = delete;
  LzReader& operator=(const LzReader&) = delete;
  // False when lz32 refused the copy's header.
  bool ok() const { return lz_ >= 0; }
  INT lz() const { return lz_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
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
  return ExpandStored(stored, tempDirectory, out, nullptr);
}

ExpandOutcome ExpandStored(ByteSource& stored, const std::string& tempDirectory, ByteSink& out,
                           ScratchSlot* slot) {
  std::unique_ptr<ScratchFile> own;
  const ScratchFile* scratch = nullptr;
  if (slot && slot->file && slot->directory == tempDirectory && slot->file->Rewind()) {
    scratch = slot->file.get();
  } else {
    own = CreateScratchFile(tempDirectory);
    if (!own) return ExpandOutcome::noTempFile;
    scratch = own.get();
    if (slot) {
      slot->file = std::move(own);
      slot->directory = tempDirectory;
    }
  }
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
  for (;;) {
    size_t n = stored.Read(buffer.get(), kChunk);
    if (n == 0) break;
    WriteAll(*scratch, buffer.get(), n);
  }
  scratch->Cut();
  LzReader reader(*scratch);
  if (!reader.ok()) return ExpandOutcome::failed;
  for (;;) {
    INT n = LZRead(reader.lz(), reinterpret_cast<LPSTR>(buffer.get()), kChunk);
    if (n < 0) return ExpandOutcome::failed;
    if (n == 0) return ExpandOutcome::expanded;
    try {
      out.Write(buffer.get(), static_cast<size_t>(n));
    } catch (const CFileException&) {
      return ExpandOutcome::failed;
    }
  }
}
