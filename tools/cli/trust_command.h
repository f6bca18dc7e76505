// vareri-cli trust add|list|remove: the trust store read and written from a script or an
// installer, in the same words the runs use.
#pragma once

#include <ostream>

#include "cli_options.h"

// Runs the trust command `options` holds (options.trust). Returns kExitUpToDate when done,
// kExitUsage for a key that is not a key or a directory that is not a full path, kExitErrors
// when the store cannot be read or written.
int RunTrustCommand(const CliOptions& options, std::ostream& out, std::ostream& err);
