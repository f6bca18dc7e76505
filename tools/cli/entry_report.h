// Per-entry results of a finished run, recovered from the lines the engine logged: the
// engine writes each entry's outcome only to the log, in entry order, one line per entry
// and pass (two for a replacement that kept the previous version).
#pragma once

#include <string>
#include <vector>

#include "engine/update_error.h"
#include "model/document.h"

enum class EntryVerdict {
  unknown,  // the run stopped (raised) before it reached the entry
  notSelected,
  update,
  upToDate,
  newer,
};

struct EntryResult {
  std::vector<std::string> lines;                // the entry's log lines, in order
  EntryVerdict verdict = EntryVerdict::unknown;  // unknown for an entry that failed
  bool failed = false;
  UpdateError error = none;  // none for a failure whose message was cut off the line
  std::string errorText;     // the message as logged
  bool updated = false;      // "Updated File" was logged
  std::string backup;        // the backup name, when "renamed to" was logged
};

// Attributes `lines` (everything logged since the run cleared the log) to the entries of
// `document` by their target paths, in entry order. `passOneComplete` says whether every
// entry went through the first pass (false when the run raised before the second): then an
// entry without a line takes its verdict from the first pass.
std::vector<EntryResult> AttributeLines(const VEzorazEdo& document,
                                        const std::vector<std::string>& lines,
                                        bool passOneComplete);

// The engine's name of `code` ("fileNotFound"), "" for none and unknown values.
const char* UpdateErrorName(UpdateError code);

// "notSelected", "update", "upToDate", "newer"; "" for unknown.
const char* VerdictName(EntryVerdict verdict);
