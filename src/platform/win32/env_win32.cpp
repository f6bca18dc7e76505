// The engine's OS services over kernel32 and lz32, with the calls the updater has always
// made: share mode 0 opens, GetTempPathA, and ReplaceFileA, which puts a new file in the
// place of an installed one, with its attributes and security, and keeps the backup.
#include <windows.h>

#include "platform/env.h"
#include "platform/lz_expand.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_file.h"

namespace {

// The attributes a new version takes over from the file it replaces. Read-only is not
// among them: a read-only file is never replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Win32Env : public Env {
 public:
  std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting,
                                       FileCause* why) override {
    DWORD access = forWriting ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
    HANDLE h = ::CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      *why = Win32Cause(::GetLastError());
      return nullptr;
    }
    auto file = std::make_unique<Win32File>(h, path);
    // A device, a pipe or a console opens too; none of them is an installed file.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
      *why = FileCause::invalidFile;
      return nullptr;
    }
    return file;
  }

  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto file = std::make_unique<Win32File>(h, path);
    if (::GetFileType(h) != FILE_TYPE_DISK) return nullptr;
    return file;
  }

  bool ProbeNewFile(const std::string& path) override {
    // Deleted when closed, also should the process die first.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
    ::CloseHandle(h);
    return true;
  }

  FileIdentity ReadFileIdentity(const std::string& path) override {
    return ::ReadFileIdentity(path);
  }

  std::string TempDirectory() override {
    char buffer[256];
    DWORD n = ::GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
  }

  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }

  ExpandOutcome ExpandPayload(ByteSource& stored, const std::string& tempDirectory,
                              ByteSink& out) override {
    return ExpandStored(stored, tempDirectory, out);
  }

  ReplaceOutcome ReplaceWithBackup(const std::string& newFile, const std::string& target,
                                   const std::string& backup) override {
    const char* saved = backup.empty() ? nullptr : backup.c_str();
    if (saved && Exists(backup)) return ReplaceOutcome::backupFailed;
    DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes) != 0) {
      // A new file has the archive attribute already, as nearly every target does: asking
      // is much cheaper than setting it again.
      DWORD kept = attributes & kKeptAttributes;
      DWORD now = ::GetFileAttributesA(newFile.c_str());
      if (now == INVALID_FILE_ATTRIBUTES || (now & kKeptAttributes) != kept) {
        ::SetFileAttributesA(newFile.c_str(), kept);
      }
    }
    if (::ReplaceFileA(target.c_str(), newFile.c_str(), saved, REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr)) {
      return ReplaceOutcome::replaced;
    }
    switch (::GetLastError()) {
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        // With a backup both files kept their names. Without one the previous version is
        // already gone: the new one is all that can still take the name.
        if (saved) return ReplaceOutcome::failed;
        return ::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)
                   ? ReplaceOutcome::replaced
                   : ReplaceOutcome::targetLost;
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        // The previous version went to the backup name and the new file stayed where it
        // was: the previous version goes back.
        if (saved && ::MoveFileA(backup.c_str(), target.c_str())) return ReplaceOutcome::failed;
        return ReplaceOutcome::targetLost;
      default:
        // Nothing moved. With a backup asked for, moving the previous version away is the
        // step that was refused, as when it was renamed on its own.
        return saved ? ReplaceOutcome::backupFailed : ReplaceOutcome::failed;
    }
  }

  // Windows gives programs no flush of a directory's entries; its file systems log renames
  // themselves.
  void SyncDirectory(const std::string&) override {}
};

}  // namespace

Env& Env::Default() {
  static Win32Env env;
  return env;
}
