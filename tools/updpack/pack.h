// Building an update file from a manifest: stamps, compression, stored block order,
// fingerprints, and an all-or-nothing write of the output.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "manifest.h"
#include "model/document_writer.h"

class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PackReport {
  std::function<void(const std::string&)> progress;  // one line per file entry
  std::function<void(const std::string&)> warning;
};

// The stored form of a new file: compressed (recording the name's last character), then
// every 1024-byte block reversed.
std::vector<uint8_t> StoredContents(const std::vector<uint8_t>& data, char lastNameChar);

// Reads every input named by `manifest` and returns the document to write.
// Raises PackError for an input that cannot be read or does not fit the format.
DocumentPlan PlanUpdate(const Manifest& manifest, const PackReport& report);

// Writes `bytes` to `path` through a temporary file in the same directory renamed into
// place, so a failure never leaves a partial file under `path`. Raises PackError.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// PlanUpdate, then WriteDocument, then WriteFileAtomically.
void BuildUpdate(const Manifest& manifest, const std::string& outputPath, const PackReport& report);
