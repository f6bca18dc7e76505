#include "bench_manifest.h"

#include <fstream>

namespace bench {

nlohmann::json ManifestEntry(const std::string& name, const std::string& folder,
                             const std::string& relative) {
  return {{"name", name},
          {"directoryKind", "installation"},
          {"directory", folder},
          {"new", "new/" + relative},
          {"previous", {"old/" + relative}}};
}

void WriteManifest(const std::string& path, const std::string& product,
                   const std::string& description, const std::string& defaultDirectory,
                   const nlohmann::json& entries) {
  nlohmann::json manifest = {{"format", 6},
                             {"product", product},
                             {"description", description},
                             {"defaultDirectory", defaultDirectory},
                             {"registry", {"Vareri Bench", product, "1.0"}},
                             {"files", entries}};
  std::ofstream(path) << manifest.dump(1);
}

}  // namespace bench
