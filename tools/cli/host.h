// What vareri-cli takes from the machine it runs on besides the engine's Env: the Windows
// and system directories the window takes at start-up, and a directory test for messages.
// One implementation per backend: host_win32.cpp, host_posix.cpp.
#pragma once

#include <string>

struct HostDirectories {
  std::string windows;
  std::string system;
};

// Win32: GetWindowsDirectoryA and GetSystemDirectoryA, as the window calls them (empty on
// failure). POSIX: there is no Windows installation, so C:\WINDOWS and C:\WINDOWS\SYSTEM,
// which the backend maps onto the current directory's tree.
HostDirectories DefaultHostDirectories();

// Whether `path` (a Windows path) names an existing directory. Never raises.
bool IsDirectory(const std::string& path);
