#include "given_key.h"

#include <cstdlib>
#include <fstream>

#include "platform/signature.h"
#include "session/trust.h"

bool ReadGivenKey(const std::string& value, TrustRequirement* trust) {
  std::string start = value.substr(0, value.find_first_not_of(" \t\r\n"));
  std::string text = value.substr(start.size());
  if (text.compare(0, sizeof kKeyTextTag, std::string(kKeyTextTag) + " ") == 0 ||
      text.compare(0, 5, "-----") == 0) {
    trust->keyRequired = true;
    trust->keyText = value;
    trust->keyOrigin = "the key given with --key";
    return true;
  }
  std::ifstream file(value, std::ios::binary);
  return ReadKeyFile(file, value, trust);
}

TrustStoreLocation TrustStoreOf(const std::string& trustStoreOption) {
  TrustStoreLocation where;
  where.file = trustStoreOption;
  if (where.file.empty()) {
    const char* variable = std::getenv("VARERI_TRUST_STORE");
    if (variable) where.file = variable;
  }
  return where;
}
