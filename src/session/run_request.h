// A run as the window and vareri-cli start it: the installation directory taken over, the
// components chosen, fresh flags, then the document's check or update.
#pragma once

#include <string>
#include <vector>

#include "session/app_state.h"

// Copies `directory` into app.installDir, exactly as given. A directory beyond 255
// characters is cut there and false returned: the caller then runs nothing, since the cut
// path would name another directory.
bool SetInstallDir(AppState& app, const std::string& directory);

// Chooses components by name: with `only`, exactly those are selected; then those in
// `exclude` are left out. Returns "" or, for a name the document has no component of, what
// is wrong (nothing is changed then). REQUIRES: the document is loaded.
std::string SelectComponents(VEzorazEdo& document, const std::vector<std::string>& only,
                             const std::vector<std::string>& exclude);

// Starts from runOk 1 and updateNeeded 0, as every run must, and runs a check (false) or an
// update (true) of the document over app.updateFile. Raises what VEzorazEdo::Run raises; the
// flags and app.record then say how far it came.
void StartRun(AppState& app, bool doUpdate);
