// What a run comes to as an exit status, for scripts: the statuses vareri-cli documents, and
// how a run's flags and record map onto them.
#pragma once

#include "session/app_state.h"

enum ExitStatus : int {
  kExitUpToDate = 0,    // everything is up to date or was updated
  kExitUpdatable = 1,   // a check found files that can be updated and no error
  kExitErrors = 2,      // errors were found; nothing was changed
  kExitPartial = 3,     // an update stopped part-way: some files were replaced
  kExitUnreadable = 4,  // the update file could not be opened, read or used
  kExitUsage = 64,      // wrong usage, an unknown component, a log file that cannot be opened
};

// The status of the run `app` last made (`raised`: it ended by a raised failure): an update
// that changed files and did not finish is partial; any other error, raised or logged, is
// errors; else a check that found older files is updatable, and the rest up to date.
ExitStatus RunExitStatus(const AppState& app, bool doUpdate, bool raised);
