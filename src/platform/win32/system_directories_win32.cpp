#include <windows.h>

#include "platform/system_directories.h"

SystemDirectories ReadSystemDirectories() {
  char windows[kSystemDirectorySize] = {};
  char system[kSystemDirectorySize] = {};
  ::GetWindowsDirectoryA(windows, sizeof windows);
  ::GetSystemDirectoryA(system, sizeof system);
  return SystemDirectories{windows, system};
}
