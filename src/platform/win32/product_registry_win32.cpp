#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/product_registry.h"

static std::string ProductKey(const std::string& p1, const std::string& p2, const std::string& p3) {
  return "Software\\" + p1 + "\\" + p2 + "\\" + p3;
}

int ReadInstallPath(const std::string& p1, const std::string& p2, const std::string& p3,
                    char* buffer) {
  HKEY handle;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProductKey(p1, p2, p3).c_str(), 0, KEY_READ, &handle) !=
      ERROR_SUCCESS) {
    return 0;
  }
  DWORD size = kInstallPathSize;
  LONG rc = ::RegQueryValueExA(handle, "PathName", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buffer), &size);
  ::RegCloseKey(handle);
  if (rc != ERROR_SUCCESS) return 0;
  // A value stored without its terminator still ends inside the buffer.
  if (size == 0 || buffer[size - 1] != '\0')
    buffer[size < kInstallPathSize ? size : kInstallPathSize - 1] = '\0';
  return 1;
}

bool ReadUpdateKey(const std::string& p1, const std::string& p2, const std::string& p3,
                   std::string* text) {
  text->clear();
  HKEY handle;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProductKey(p1, p2, p3).c_str(), 0, KEY_READ, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD size = 0;
  LONG rc = ::RegQueryValueExA(handle, "UpdateKey", nullptr, nullptr, nullptr, &size);
  if (rc == ERROR_SUCCESS && size > 0) {
    std::vector<char> value(size);
    rc = ::RegQueryValueExA(handle, "UpdateKey", nullptr, nullptr,
                            reinterpret_cast<BYTE*>(value.data()), &size);
    if (rc == ERROR_SUCCESS) text->assign(value.data(), strnlen(value.data(), size));
  }
  ::RegCloseKey(handle);
  return rc != ERROR_FILE_NOT_FOUND;
}
