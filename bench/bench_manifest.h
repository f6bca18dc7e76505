// The manifests the native benchmarks give updpack: one shape for every product they make.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace bench {

// An entry of the installation directory's `folder`: new/RELATIVE laid over old/RELATIVE.
nlohmann::json ManifestEntry(const std::string& name, const std::string& folder,
                             const std::string& relative);

// Writes to `path` the manifest of `product` (registered under it at version 1.0) with
// `entries`.
void WriteManifest(const std::string& path, const std::string& product,
                   const std::string& description, const std::string& defaultDirectory,
                   const nlohmann::json& entries);

}  // namespace bench
