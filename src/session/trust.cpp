#include "session/trust.h"

#include <sstream>

#include "platform/product_registry.h"

TrustRequirement RecordedTrust(const UpdateHeader& header) {
  TrustRequirement trust;
  const std::string* path = header.registryPath;
  if (HasRegistryPath(header.formatVersion) &&
      ReadUpdateKey(path[0], path[1], path[2], &trust.keyText)) {
    trust.keyRequired = true;
    trust.keyOrigin = "the update key this product recorded (UpdateKey under HKLM\\Software\\" +
                      path[0] + "\\" + path[1] + "\\" + path[2] + ")";
  }
  return trust;
}

bool ReadKeyFile(std::istream& file, const std::string& shownName, TrustRequirement* trust) {
  if (!file) return false;
  // An empty file is read as empty text, which the load refuses as no key.
  std::stringstream text;
  text << file.rdbuf();
  if (file.bad()) return false;
  trust->keyRequired = true;
  trust->keyText = text.str();
  trust->keyOrigin = "the key in " + shownName;
  return true;
}
