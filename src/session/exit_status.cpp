#include "session/exit_status.h"

ExitStatus RunExitStatus(const AppState& app, bool doUpdate, bool raised) {
  if (raised || !app.runOk) {
    return doUpdate && app.record.Changed() ? kExitPartial : kExitErrors;
  }
  return !doUpdate && app.updateNeeded ? kExitUpdatable : kExitUpToDate;
}
