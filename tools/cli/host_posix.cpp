#include <sys/stat.h>

#include "host.h"

HostDirectories DefaultHostDirectories() {
  return HostDirectories{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
}

bool IsDirectory(const std::string& path) {
  // The backend's mapping: backslashes become slashes, nothing else changes.
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
