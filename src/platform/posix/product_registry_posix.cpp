// The POSIX build has no registry: the proposal always falls back to the drive rule, and no
// product has recorded a key.
#include "platform/product_registry.h"

int ReadInstallPath(const std::string&, const std::string&, const std::string&, char* buffer) {
  buffer[0] = '\0';
  return 0;
}

bool ReadUpdateKey(const std::string&, const std::string&, const std::string&, std::string* text) {
  text->clear();
  return false;
}
