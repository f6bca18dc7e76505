#include "support/trust_data.h"

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

std::string TrustDataPath(const std::string& name) {
  return std::string(VARERI_SOURCE_DIR) + "/tests/data/trust/" + name;
}

std::vector<uint8_t> TrustData(const std::string& name) {
  std::ifstream in(TrustDataPath(name), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TrustText(const std::string& name) { return FileText(TrustDataPath(name)); }

TrustRequirement RequireKeyIn(const std::string& name) {
  return TrustRequirement{true, TrustText(name), "the key in " + name};
}
