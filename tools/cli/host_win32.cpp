#include <windows.h>

#include "host.h"

HostDirectories DefaultHostDirectories() {
  char windows[256] = {};
  char system[256] = {};
  ::GetWindowsDirectoryA(windows, sizeof windows);
  ::GetSystemDirectoryA(system, sizeof system);
  return HostDirectories{windows, system};
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
