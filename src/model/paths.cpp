#include "model/paths.h"

#include <cstring>
#include <initializer_list>

#include "platform/name_case.h"

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

bool CopyPath(std::string* path, const std::string& text) {
  if (text.size() <= kPathSize - 1) {
    *path = text;
    return true;
  }
  *path = text.substr(0, kPathSize - 4) + "...";
  return false;
}

std::string BackupName(const std::string& path) {
  std::string backup = path;
  if (!backup.empty()) backup.back() = '_';
  return backup;
}

std::string NewFileName(const std::string& target) {
  // The longest file name that keeps a name with the mark within 255 characters.
  constexpr size_t kMarkedNameLength = kMaxNameLength - (sizeof kNewFileMark - 1);
  return DirectoryOf(target) + LastComponent(target).substr(0, kMarkedNameLength) + kNewFileMark;
}

bool IsNewFileName(const std::string& name) {
  size_t n = sizeof kNewFileMark - 1;
  return name.size() >= n && FoldedName(name.substr(name.size() - n)) == kNewFileMark;
}

std::string LastComponent(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string DirectoryAsName(std::string directory) {
  if (directory.size() > 3 && (directory.back() == '\\' || directory.back() == '/')) {
    directory.pop_back();
  }
  return directory;
}
