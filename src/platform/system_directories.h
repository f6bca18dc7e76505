// The Windows and system directories, as start-up reads them for the window and vareri-cli
// for its defaults.
#pragma once

#include <cstddef>
#include <string>

// The room each directory is asked for with: 256 bytes, the terminator included.
constexpr size_t kSystemDirectorySize = 256;

struct SystemDirectories {
  std::string windows;
  std::string system;
};

// Win32: GetWindowsDirectoryA and GetSystemDirectoryA with buffers of kSystemDirectorySize (empty
// on failure). POSIX: there is no Windows installation, so C:\WINDOWS and C:\WINDOWS\SYSTEM, which
// the backend maps onto the current directory's tree.
SystemDirectories ReadSystemDirectories();
