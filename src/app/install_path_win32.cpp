#include <windows.h>

#include "app/install_path.h"

int ReadInstallPath(const std::string& p1, const std::string& p2, const std::string& p3,
                    char* buffer) {
  std::string key = "Software\\" + p1 + "\\" + p2 + "\\" + p3;
  HKEY handle;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD size = 260;
  LONG rc = ::RegQueryValueExA(handle, "PathName", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buffer), &size);
  ::RegCloseKey(handle);
  if (rc != ERROR_SUCCESS) return 0;
  // A value stored without its terminator still ends inside the buffer.
  if (size == 0 || buffer[size - 1] != '\0') buffer[size < 260 ? size : 259] = '\0';
  return 1;
}
