#include "engine/paths.h"

#include <cstring>
#include <initializer_list>

std::string JoinedPath(const std::string& path, const std::string& name) {
  if (name.empty()) return path;
  if (!path.empty() && path.back() == '\\') return path + name;
  return path + "\\" + name;
}

bool JoinPath(char* path, const std::string& name) {
  std::string joined = JoinedPath(path, name);
  if (joined.size() > kPathSize - 1) return false;
  std::memcpy(path, joined.c_str(), joined.size() + 1);
  return true;
}

bool CopyPath(char* path, const std::string& text) {
  if (text.size() <= kPathSize - 1) {
    std::memcpy(path, text.c_str(), text.size() + 1);
    return true;
  }
  std::memcpy(path, text.data(), kPathSize - 4);
  std::memcpy(path + kPathSize - 4, "...", 4);
  return false;
}

std::string BackupName(const std::string& path) {
  std::string backup = path;
  if (!backup.empty()) backup.back() = '_';
  return backup;
}

std::string LastComponent(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsReservedDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find_first_of(".:"));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (base == device) return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
    return false;
  }
  // The superscript digits of the ANSI code page: 0xB9, 0xB2, 0xB3.
  unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}
