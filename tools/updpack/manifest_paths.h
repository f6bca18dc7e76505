// The manifest's rule that no two entries name one file (the rule the updater applies too,
// model/name_clashes.h); where a file may go is model/target_rules.h's. Raises ManifestError
// naming the field.
#pragma once

#include <string>
#include <vector>

#include "manifest.h"

// Refuses the first entry whose file is another's, or clashes with another's backup name.
void CheckTargets(const std::vector<ManifestFile>& files);
