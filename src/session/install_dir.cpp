#include "session/install_dir.h"

#include "platform/product_registry.h"

std::string ApplyDriveRule(const std::string& directory) {
  if (directory.size() >= 2 && directory[1] == ':') return directory;
  std::string path = "C:";
  if (directory.empty() || directory[0] != '\\') path += '\\';
  return path + directory;
}

std::string ProposeInstallDir(const UpdateHeader& header) {
  char installPath[kInstallPathSize] = {};
  const std::string* path = header.registryPath;
  if (HasRegistryPath(header.formatVersion) &&
      ReadInstallPath(path[0], path[1], path[2], installPath)) {
    return installPath;
  }
  return ApplyDriveRule(header.defaultDirectory);
}
