// Canonical paths on Windows: the path made full as Windows makes it (GetFullPathNameA takes
// away ".", "..", doubled separators and the trailing dots and spaces of names), then the
// deepest directory that exists named by the file system (GetFinalPathNameByHandleA, which
// sees through junctions, symbolic links and 8.3 names), then the rest by name.
#include <windows.h>

#include <vector>

#include "platform/canonical_path.h"

namespace {

// The final name of the existing file or directory `path`, without the "\\?\" prefix; ""
// when it cannot be opened or named.
std::string FinalName(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::vector<char> name(MAX_PATH);
  DWORD n = ::GetFinalPathNameByHandleA(h, name.data(), static_cast<DWORD>(name.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n >= name.size()) {
    name.resize(n + 1);
    n = ::GetFinalPathNameByHandleA(h, name.data(), static_cast<DWORD>(name.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  ::CloseHandle(h);
  if (n == 0 || n >= name.size()) return std::string();
  std::string text(name.data(), n);
  if (text.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\\\" + text.substr(8);
  if (text.compare(0, 4, "\\\\?\\") == 0) return text.substr(4);
  return text;
}

// Whether a failed open means that nothing of that name exists, so its directory is tried.
bool Missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

}  // namespace

bool IsFullPath(const std::string& path) {
  bool onDrive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  bool onShare =
      path.size() > 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
  return onDrive || onShare;
}

std::string CanonicalPath(const std::string& path) {
  if (path.empty()) return std::string();
  char* filePart = nullptr;
  DWORD size = ::GetFullPathNameA(path.c_str(), 0, nullptr, &filePart);
  if (size == 0) return std::string();
  std::vector<char> full(size + 1);
  DWORD n =
      ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), &filePart);
  if (n == 0 || n >= full.size()) return std::string();
  std::string whole(full.data(), n);
  while (whole.size() > 3 && whole.back() == '\\') whole.pop_back();
  // The deepest existing prefix; what follows it keeps the full path's spelling.
  std::string rest;
  std::string prefix = whole;
  for (;;) {
    std::string named = FinalName(prefix);
    if (!named.empty()) {
      if (named.back() == '\\' && !rest.empty()) named.pop_back();
      return named + rest;
    }
    DWORD error = ::GetLastError();
    size_t slash = prefix.find_last_of('\\');
    // A prefix that exists but cannot be opened is taken as it is spelled: what cannot be
    // opened cannot be changed through it either.
    if (!Missing(error) || slash == std::string::npos || slash + 1 >= prefix.size() ||
        prefix.size() <= 3) {
      return whole;
    }
    rest = prefix.substr(slash) + rest;
    prefix = prefix.substr(0, slash);
    if (prefix.size() == 2 && prefix[1] == ':') prefix += '\\';
  }
}
