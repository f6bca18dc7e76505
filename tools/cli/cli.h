// vareri-cli: the window's check and update runs from a script, on the same core, with
// the outcome as an exit status. main.cpp only forwards to RunCli, so tests call it directly.
#pragma once

#include <ostream>

#include "cli_help.h"
#include "platform/env.h"
#include "session/exit_status.h"

// Runs one command line (argv[0] is the program's name). Log lines, the closing text and the
// JSON go to `out`; problems to `err`. Installed files are inspected and replaced through
// `env`. With --json each entry's line is flushed as soon as its outcome is final and the
// summary comes last, whatever the exit status (--help and --version aside). `errIsTerminal`:
// `err` is a terminal, on which a check or update (unless --quiet) shows how far each pass
// has come. Returns one of ExitStatus; kExitUsage when writing to `out` failed, whatever the
// run came to. Raises nothing the core raises: CException and allocation failures become
// messages and statuses.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, Env& env,
           bool errIsTerminal = false);

// The same over the OS (Env::Default()), showing no progress.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);
