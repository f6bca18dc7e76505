// The manifest's rules for where files go: a subdirectory of the installation directory, a
// full directory for an absolute entry, and no two entries for one file (the rule the
// updater applies too, model/name_clashes.h). Each raises ManifestError naming the field.
#pragma once

#include <string>
#include <vector>

#include "manifest.h"

// `directory` (either separator) must stay inside the installation directory: no drive, no
// leading separator, no "..", and every component a name Windows can store.
void CheckSubdirectory(const std::string& directory, const std::string& field);

// `directory` must be a full directory (C:\DATA or \\SERVER\SHARE) naming no stream, its
// components names Windows can store, and with `name` no longer than the updater's paths.
void CheckAbsolute(const std::string& directory, const std::string& name, const std::string& field);

// Refuses the first entry whose file is another's, or clashes with another's backup name.
void CheckTargets(const std::vector<ManifestFile>& files);
