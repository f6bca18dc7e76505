// The JSON vareri-cli prints for each file entry: what the update says of the file, and
// for a check or an update what the run did to it and why, drawn from the run's record.
#pragma once

#include <cstddef>
#include <string>

#include "engine/run_record.h"
#include "model/update_item.h"

// {"version":"1.0.0.5","size":30000}
std::string StampJson(const CFileStamp& stamp);

// The previous versions the entry accepts, as an array of StampJson.
std::string AcceptedJson(const CUpdateItem& item);

// The entry of a check or update run, numbered from 1 by `index`. `item` holds the paths
// the run formed.
std::string EntryJson(const CUpdateItem& item, size_t index, const EntryOutcome& outcome,
                      bool doUpdate);

// Why the entry failed in words, for the error stream: "" when its error line says it all.
std::string EntryCauseText(const EntryOutcome& outcome);
