// What a run did, entry by entry: the facts the window's log, the cli's text and its
// JSON are all drawn from. The engine fills it while it runs; callers only read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/update_error.h"
#include "platform/exceptions.h"

struct EntryOutcome {
  bool reached = false;      // the first pass came to this entry
  bool selected = false;     // it took part in the run
  bool inspected = false;    // its installed file was compared: `verdict` is this run's
  uint16_t verdict = 0;      // Verdict, valid when `inspected`
  UpdateError error = none;  // the code of the entry's error line; none without one
  int errorPass = 0;         // 1: the check found the error; 2: the replacement failed
  FileCause openCause = FileCause::none;  // the system's reason the installed file would not
                                          // open as the error says (fileNotFound, cannotWrite):
                                          // fileNotFound, sharingViolation, accessDenied,
                                          // invalidFile (not a disk file), ...
  bool replaced = false;                  // the new version is in place
  std::string backup;              // full path of the kept previous version, when one was kept
  bool restoreFailed = false;      // a failed replacement could not put the file back
  std::vector<std::string> lines;  // the log lines written for it, in order
};

struct RunRecord {
  bool doUpdate = false;
  bool finished = false;  // Run returned; false while it runs or when a failure was raised
  std::vector<EntryOutcome> entries;  // one per document item, in file order

  size_t Errors() const;
  size_t Replaced() const;
  // Whether any installed file differs from before the run.
  bool Changed() const;
};
