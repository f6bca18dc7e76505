// The POSIX build has no registry: the proposal always falls back to the drive rule.
#include "app/install_path.h"

int ReadInstallPath(const std::string&, const std::string&, const std::string&, char* buffer) {
  buffer[0] = '\0';
  return 0;
}
