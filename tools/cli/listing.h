// vareri-cli list: the components and files of an update file as a run would name them,
// without looking at any installed file.
#pragma once

#include <ostream>

#include "session/app_state.h"

// One line per file entry of the loaded document: its path (formed from the directories in
// `app`; both paths for an entry of the system directory), the new version and size, the
// component and whether it is selected, and the previous versions it replaces.
void PrintListing(AppState& app, std::ostream& out);

// The same as one JSON object per entry, one per line.
void PrintListingJson(AppState& app, std::ostream& out);
