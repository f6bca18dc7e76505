// updpack's commands over a command line already read and checked: build, list, verify,
// sign, keygen and init, each reporting on the two streams it is given.
#pragma once

#include <ostream>

#include "updpack_options.h"

// Runs options.command: results (a listing, verdicts, a public key) go to `out`; progress,
// warnings and what was written to `err`. Returns the exit status: 0, or 1 for a manifest
// that cannot be read or used, a file that fails verify, or an init with nothing to write.
// Raises PackError, CException and what the standard library raises, for the caller to say.
// REQUIRES: ParseUpdpackOptions accepted `options`.
int RunUpdpackCommand(const UpdpackOptions& options, std::ostream& out, std::ostream& err);
