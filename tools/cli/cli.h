// vareri-cli: the window's check and update runs from a script, on the same core, with
// the outcome as an exit status. main.cpp only forwards to RunCli, so tests call it directly.
#pragma once

#include <ostream>

#include "cli_help.h"
#include "platform/env.h"
#include "session/exit_status.h"

// Runs one command line (argv[0] is the program's name). Log lines, the closing text and the
// JSON go to `out`; problems to `err`. Installed files are inspected and replaced through
// `env`. Returns one of ExitStatus; kExitUsage when writing to `out` failed, whatever the
// run came to. Raises nothing the core raises: CException and allocation failures become
// messages and statuses.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, Env& env);

// The same over the OS (Env::Default()).
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);
