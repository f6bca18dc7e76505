#include "platform/win32/made_files_win32.h"

#include <winternl.h>

bool ReadFileIndex(HANDLE h, LONGLONG* index) {
  IO_STATUS_BLOCK io;
  LARGE_INTEGER value;
  constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
  if (::NtQueryInformationFile(h, &io, &value, sizeof value, kFileInternalInformation) < 0) {
    return false;
  }
  *index = value.QuadPart;
  return true;
}

namespace {

// The path the system resolves `h` to, which two files open at the same time never share.
bool ReadFinalPath(HANDLE h, std::wstring* path) {
  path->assign(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(h, &(*path)[0], static_cast<DWORD>(path->size()), 0);
  if (n >= path->size()) {
    path->assign(n + 1, L'\0');
    n = ::GetFinalPathNameByHandleW(h, &(*path)[0], static_cast<DWORD>(path->size()), 0);
  }
  if (n == 0 || n >= path->size()) return false;
  path->resize(n);
  return true;
}

}  // namespace

bool MadeFiles::IdentityOf(HANDLE h, Identity* identity) {
  if (ReadFileIndex(h, &identity->index) && ReadFinalPath(h, &identity->path)) return true;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(h, &info)) return false;
  *identity = Identity{};
  identity->index = (static_cast<LONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity->volume = info.dwVolumeSerialNumber;
  return true;
}

MadeFiles::~MadeFiles() {
  for (auto& made : made_) ::CloseHandle(made.second.held);
}

bool MadeFiles::Remember(const std::string& path, HANDLE h) {
  // Attributes only: the open takes no part in sharing, so the file made with no sharing
  // opens, and the hold stands in the way of no later open, rename or delete. A program
  // outside the system's sharing may have moved the name away meanwhile: the file held must
  // be the one made.
  Made made;
  made.held = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (made.held == INVALID_HANDLE_VALUE) return false;
  LONGLONG index = 0;
  if (!IdentityOf(made.held, &made.identity) ||
      (ReadFileIndex(h, &index) && index != made.identity.index)) {
    ::CloseHandle(made.held);
    return false;
  }
  Forget(path);
  made_.emplace(path, std::move(made));
  return true;
}

void MadeFiles::Forget(const std::string& path) {
  auto made = made_.find(path);
  if (made == made_.end()) return;
  ::CloseHandle(made->second.held);
  made_.erase(made);
}

HANDLE MadeFiles::OpenByName(const std::string& path) const {
  auto made = made_.find(path);
  if (made == made_.end()) return INVALID_HANDLE_VALUE;
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  Identity now;
  if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) ||
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IdentityOf(h, &now) ||
      !(now == made->second.identity)) {
    ::CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}
