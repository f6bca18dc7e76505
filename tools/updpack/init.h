// updpack init: a first manifest drafted from release folders, for the vendor to complete.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "entry_checks.h"

struct InitOptions {
  std::string newDirectory;                      // the release the update brings (UTF-8)
  std::vector<std::string> previousDirectories;  // releases customers may have installed
  std::string output;                            // the manifest to write; must not exist
};

// What init found, for the vendor to read. Paths are relative to the release folders.
struct InitSummary {
  size_t entries = 0;
  std::vector<std::string> unchanged;  // the same in every release that has them
  std::vector<std::string> added;      // in the new release only: entries that add them
  std::vector<std::string> removed;    // in previous releases only: entries that remove them
  std::vector<std::string> byBytes;    // entries matched byte for byte, each with its reason
  std::vector<std::string> leftOut;    // previous copies the updater could never replace, and why
  std::vector<std::string> clashes;    // names one folder holds that Windows takes for one
  SampleParameters samples;            // the fingerprint parameters chosen
};

// Walks the folders and pairs their files by relative path, ignoring case as Windows does.
// Every file of the new release whose copy in some previous release differs becomes an
// entry under the installation directory (its subdirectory as `directory`), listing each
// differing copy the updater could replace once; files without a version resource, and
// files too small for samples, are matched byte for byte ("match": "exact"). A file only in
// the new release becomes an entry that adds it; one only in previous releases, an entry
// that removes each distinct copy of it. A name that one folder holds in two
// spellings Windows takes for one is paired in no folder; `clashes` names the files ("A and
// B", full paths). Writes the manifest, with "<fill in: ...>" placeholders for the texts
// only the vendor knows, when it has at least one entry; writes nothing otherwise. Raises
// PackError when a folder cannot be read, a path the manifest would hold is not UTF-8
// (naming it), or the output exists already or cannot be written.
InitSummary InitManifest(const InitOptions& options);
