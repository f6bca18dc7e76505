// The build tool's manifest: what goes into one update file, read from JSON. Relative
// paths are taken from the manifest's own directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "manifest_error.h"
#include "model/entry_actions.h"

struct ManifestFile {
  EntryAction action = EntryAction::replace;  // "action": "replace", "add" or "remove"
  bool exact = false;                         // "match": "exact" (else "samples")
  std::string component;
  std::string description;
  uint16_t defaultSelected = 1;
  std::string name;
  uint16_t directoryKind = 2;
  std::string directory;
  std::string newPath;                     // none for a removal
  std::vector<std::string> previousPaths;  // a removal's: the versions it may remove
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

// What `updpack init` writes where the vendor must put a text of his own. A manifest
// holding it anywhere does not build.
constexpr char kPlaceholder[] = "<fill in: ";

// The manifest's name of a directory kind: "windows", "system", "installation" or
// "absolute" for 0 to 3, "unknown" beyond.
const char* DirectoryKindName(uint16_t kind);

// Parses manifest text (paths in it are UTF-8 and stay so; relative ones are joined to
// `baseDirectory`, UTF-8 too). Raises ManifestError naming the first field that is wrong,
// a description longer than kMaxDescriptionLength among them.
Manifest ParseManifest(const std::string& text, const std::string& baseDirectory);

// A warning when `description` needs more room than the main window's description box
// shows (about 9 lines of about 60 characters, no scroll bar), else "".
std::string DescriptionWarning(const std::string& description);
