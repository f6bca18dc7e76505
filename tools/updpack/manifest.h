// The build tool's manifest: what goes into one update file, read from JSON. Relative
// paths are taken from the manifest's own directory.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct ManifestFile {
  std::string component;
  std::string description;
  uint16_t defaultSelected = 1;
  std::string name;
  uint16_t directoryKind = 2;
  std::string directory;
  std::string newPath;
  std::vector<std::string> previousPaths;
};

struct Manifest {
  uint16_t format = 6;
  std::string description;
  std::string product;
  std::string failureMessage;
  std::string defaultDirectory;
  std::string registry[3];
  uint16_t sampleCount = 8;
  uint16_t sampleLength = 16;
  std::vector<ManifestFile> files;
};

// A manifest that cannot be used; `what()` names the field, e.g. "files[1].name: ...".
class ManifestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses manifest text. Raises ManifestError naming the first field that is wrong.
Manifest ParseManifest(const std::string& text, const std::string& baseDirectory);

// Converts UTF-8 text to the 8-bit code page update files carry (Windows-1252).
// Returns false when a character has no place in it.
bool Utf8ToCodePage(const std::string& utf8, std::string* out);
