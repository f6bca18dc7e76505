// The engine's OS services over kernel32 and lz32, with the calls the updater has always
// made: share mode 0 opens, GetTempPathA, and ReplaceFileA, which puts a new file in the
// place of an installed one, with its attributes and security, and keeps the backup.
// Under Wine a new file takes its name by one rename instead (one_rename_win32.h).
#include <windows.h>

#include "platform/env.h"
#include "platform/lz_expand.h"
#include "platform/win32/directory_lock_win32.h"
#include "platform/win32/made_files_win32.h"
#include "platform/win32/one_rename_win32.h"
#include "platform/win32/scratch_slot_win32.h"
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
    // A link or junction is opened itself, never followed, and then refused below.
    HANDLE h = ::CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      *why = Win32Cause(::GetLastError());
      return nullptr;
    }
    auto file = std::make_unique<Win32File>(h, path);
    // A device, a pipe or a console opens too; none of them is an installed file. The
    // attributes come from the handle's own record: GetFileInformationByHandle asks the
    // volume too, which Wine makes cost more than the open.
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (::GetFileType(h) != FILE_TYPE_DISK ||
        (::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
      *why = FileCause::invalidFile;
      return nullptr;
    }
    return file;
  }

  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override {
    // CREATE_NEW: whatever has the name already (a link, another name of some file) is
    // never opened or emptied.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto file = std::make_unique<Win32File>(h, path);
    if (::GetFileType(h) != FILE_TYPE_DISK || !made_.Remember(path, h)) {
      // The caller never learns of this file and so cannot remove it: it goes as it is closed.
      FILE_DISPOSITION_INFO gone = {TRUE};
      ::SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
      return nullptr;
    }
    return file;
  }

  bool ProbeNewFile(const std::string& path) override {
    for (int k = 0; k < 16; ++k) {
      // Deleted when closed, also should the process die first.
      std::string name = k == 0 ? path : path + std::to_string(k);
      HANDLE h = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return true;
      }
      if (::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  NameKind InspectName(const std::string& path) override {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      DWORD error = ::GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameKind::missing
                                                                            : NameKind::other;
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) return NameKind::other;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameKind::directory;
    return attributes & FILE_ATTRIBUTE_READONLY ? NameKind::readOnlyFile : NameKind::file;
  }

  TryResult TryPlaceNewFile(const std::string& newFile, const std::string& target) override {
    HANDLE h = made_.OpenByName(newFile);
    if (h == INVALID_HANDLE_VALUE) return Refused(newFile);
    ::CloseHandle(h);
    // Without MOVEFILE_REPLACE_EXISTING: a name taken meanwhile fails the move.
    if (::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
      made_.Forget(newFile);
      return TryResult::done;
    }
    return Passing(::GetLastError()) ? TryResult::busy : Refused(newFile);
  }

  TryResult TryRenameFile(const std::string& from, const std::string& to) override {
    DWORD attributes = ::GetFileAttributesA(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes &
         (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
      return TryResult::refused;
    }
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return TryResult::done;
    return Passing(::GetLastError()) ? TryResult::busy : TryResult::refused;
  }

  void Pause(unsigned ms) override { ::Sleep(ms); }

  bool CreateDirectories(const std::string& directory) override {
    std::string path = directory;
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos && slash > 2 && !CreateDirectories(path.substr(0, slash))) {
      return false;
    }
    return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
  }

  std::unique_ptr<DirectoryLock> LockDirectory(const std::string& directory) override {
    return LockDirectoryByMutex(directory);
  }

  FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier) override {
    return ::ReadFileIdentity(path, earlier);
  }

  std::string TempDirectory() override {
    char buffer[256];
    DWORD n = ::GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
  }

  bool RemoveFile(const std::string& path) override {
    made_.Forget(path);
    return ::DeleteFileA(path.c_str()) != 0;
  }

  ExpandOutcome ExpandPayload(ByteSource& stored, const std::string& tempDirectory,
                              ByteSink& out) override {
    return ExpandStored(stored, tempDirectory, out, scratch_);
  }

  std::unique_ptr<ScratchHold> HoldScratch() override {
    return std::make_unique<KeptScratch>(scratch_);
  }

  ReplaceOutcome TryReplaceWithBackup(const std::string& newFile, const std::string& target,
                                      const std::string& backup) override {
    ReplaceOutcome outcome = ReplaceOnce(newFile, target, backup);
    // The file made is remembered for the next try only.
    if (outcome != ReplaceOutcome::busy) made_.Forget(newFile);
    return outcome;
  }

  // Windows gives programs no flush of a directory's entries; its file systems log renames
  // themselves.
  void SyncDirectory(const std::string&) override {}

 private:
  // One try of TryReplaceWithBackup.
  ReplaceOutcome ReplaceOnce(const std::string& newFile, const std::string& target,
                             const std::string& backup) {
    const char* saved = backup.empty() ? nullptr : backup.c_str();
    // A try refused as busy cannot remove its backup link while a program holds the previous
    // version without delete sharing: that link is then the backup already.
    bool linked = saved && Exists(backup);
    if (linked && !(RenamesInOneStep() && SameFile(backup, target))) {
      return ReplaceOutcome::backupFailed;
    }
    // The name must still lead to the file that was made and checked, not to one put in its
    // place since; its attributes are set through a handle of that file.
    HANDLE h = made_.OpenByName(newFile);
    if (h == INVALID_HANDLE_VALUE) return ReplaceOutcome::failed;
    KeepAttributes(h, target);
    ::CloseHandle(h);
    std::optional<ReplaceOutcome> renamed;
    if (RenamesInOneStep()) renamed = RenameOver(newFile, target, backup, linked);
    if (renamed) return *renamed;
    if (::ReplaceFileA(target.c_str(), newFile.c_str(), saved, REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr)) {
      return ReplaceOutcome::replaced;
    }
    DWORD error = ::GetLastError();
    switch (error) {
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        // With a backup both files kept their names. Without one the previous version is
        // already gone: the new one is all that can still take the name.
        if (saved) return ReplaceOutcome::failed;
        return MoveIntoPlace(newFile, target) ? ReplaceOutcome::replaced
                                              : ReplaceOutcome::targetLost;
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        // The previous version went to the backup name and the new file stayed where it
        // was: the previous version goes back.
        if (saved && ::MoveFileA(backup.c_str(), target.c_str())) return ReplaceOutcome::failed;
        return ReplaceOutcome::targetLost;
      default:
        // Nothing moved. With a backup asked for, moving the previous version away is the
        // step that was refused, as when it was renamed on its own.
        if (Passing(error)) return ReplaceOutcome::busy;
        return saved ? ReplaceOutcome::backupFailed : ReplaceOutcome::failed;
    }
  }

  // The new file takes the name the target no longer has: the step is half done, so the
  // tries for a scanner that holds the new file are made here.
  bool MoveIntoPlace(const std::string& newFile, const std::string& target) {
    for (unsigned ms : kRetryPausesMs) {
      if (::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
      if (!Passing(::GetLastError())) return false;
      Pause(ms);
    }
    return ::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  }

  // Forgets the file made under `newFile`: a step refused for good is not tried again.
  TryResult Refused(const std::string& newFile) {
    made_.Forget(newFile);
    return TryResult::refused;
  }

  // Gives the file open as `h` the attributes of `target` that a new version takes over.
  static void KeepAttributes(HANDLE h, const std::string& target) {
    DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kKeptAttributes) == 0) return;
    // A new file has the archive attribute already, as nearly every target does: asking is
    // much cheaper than setting it again.
    DWORD kept = attributes & kKeptAttributes;
    FILE_BASIC_INFO basic = {};
    if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & kKeptAttributes) == kept) {
      return;
    }
    basic = FILE_BASIC_INFO{};
    basic.FileAttributes = kept;
    ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
  }

  // A hold of the temporary copy: the slot ExpandPayload uses while it lasts.
  class KeptScratch : public ScratchHold {
   public:
    explicit KeptScratch(ScratchSlot*& active) : active_(active), previous_(active) {
      active_ = &slot_;
    }
    ~KeptScratch() override { active_ = previous_; }

   private:
    ScratchSlot*& active_;
    ScratchSlot* previous_;
    ScratchSlot slot_;
  };

  MadeFiles made_;                  // the files CreateExclusive made, by the name given
  ScratchSlot* scratch_ = nullptr;  // the copy kept, while a hold lasts
};

}  // namespace

Env& Env::Default() {
  static Win32Env env;
  return env;
}
