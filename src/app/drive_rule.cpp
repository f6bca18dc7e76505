#include "app/install_path.h"

std::string ApplyDriveRule(const std::string& directory) {
  if (directory.size() >= 2 && directory[1] == ':') return directory;
  std::string path = "C:";
  if (directory.empty() || directory[0] != '\\') path += '\\';
  return path + directory;
}
