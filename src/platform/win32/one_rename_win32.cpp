#include "platform/win32/one_rename_win32.h"

#include <windows.h>

#include "platform/win32/win32_error.h"

bool RenamesInOneStep() {
  static const bool wine =
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

std::optional<ReplaceOutcome> RenameOver(const std::string& newFile, const std::string& target,
                                         const std::string& backup) {
  bool keeping = !backup.empty();
  if (keeping && !::CreateHardLinkA(backup.c_str(), target.c_str(), nullptr)) return std::nullopt;
  if (::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return ReplaceOutcome::replaced;
  }
  DWORD error = ::GetLastError();
  // The previous version still has its own name: its second one goes.
  if (keeping) ::DeleteFileA(backup.c_str());
  return Passing(error) ? ReplaceOutcome::busy : ReplaceOutcome::failed;
}
