#include "platform/win32/one_rename_win32.h"

#include <windows.h>

#include "platform/win32/win32_error.h"

bool RenamesInOneStep() {
  static const bool wine =
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

namespace {

// The file the name `path` leads to: its volume and its index there. False when it cannot
// be opened or the system does not tell.
bool FileAt(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool told = ::GetFileInformationByHandle(h, info) != 0;
  ::CloseHandle(h);
  return told;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION one, other;
  return FileAt(a, &one) && FileAt(b, &other) &&
         one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

std::optional<ReplaceOutcome> RenameOver(const std::string& newFile, const std::string& target,
                                         const std::string& backup, bool linked) {
  bool keeping = !backup.empty();
  if (keeping && !linked && !::CreateHardLinkA(backup.c_str(), target.c_str(), nullptr)) {
    return std::nullopt;
  }
  if (::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return ReplaceOutcome::replaced;
  }
  DWORD error = ::GetLastError();
  // The previous version still has its own name: its second one goes.
  if (keeping) ::DeleteFileA(backup.c_str());
  return Passing(error) ? ReplaceOutcome::busy : ReplaceOutcome::failed;
}
