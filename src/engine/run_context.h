// RunContext: the engine's view of a run. AppState (src/session), which the window and
// vareri-cli share, extends it; the engine needs nothing else of the program that drives it.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "engine/run_record.h"
#include "engine/update_log.h"
#include "model/limits.h"
#include "platform/env.h"

class VEzorazEdo;

struct RunContext {
  virtual ~RunContext() = default;

  // Asked once per run by VEzorazEdo::Run, when every entry's path is formed and before
  // anything is opened: raises to refuse the whole run, which then changes nothing. The
  // session decides here which key the run needs. The engine's own view admits every run.
  virtual void AdmitRun(VEzorazEdo&) {}

  char windowsDir[kPathSize] = {};
  char systemDir[kPathSize] = {};
  char installDir[kPathSize] = {};  // taken from the Path box before every run
  bool runOk = true;                // true before a run; cleared by any error line
  bool updateNeeded = false;        // false before a run; set when a selected file is older

  UpdateLog* log = nullptr;    // where the run's lines go
  Env* env = &Env::Default();  // the OS, or a wrapper around it in tests
  RunRecord record;            // what the last run did

  // Formats one line as UpdateLog::AddLine does, adds it to the log and to the lines of
  // the entry in hand.
  void AddLine(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  EntryOutcome* current = nullptr;  // the entry the run is at; null between entries

  // Set by the caller (a signal handler, another thread) to ask the run to stop. The run
  // looks at it between entries only, so the file in hand is always finished. Null: a run
  // that is never asked.
  const std::atomic<bool>* stopRequested = nullptr;

  // Called between entries, right before stopRequested is read: the window handles its
  // messages there, which may ask the run to stop. Empty: nothing to call.
  std::function<void()> betweenEntries;

  // Told after a pass has dealt with an entry (`pass` 1 or 2, `index` from 0), so that the
  // caller can show how far the run has come. Empty: nobody is told.
  std::function<void(int pass, size_t index)> entryPassed;

  // Told once for each entry, in order, as soon as nothing the run still does changes its
  // outcome in `record`: in a check once it was judged; in an update once the second pass
  // dealt with it, or once it was checked when the first pass found an error (no second pass
  // comes then); the entries a stop left when Run returns. A raised failure tells none of
  // those not told yet. Empty: nobody is told.
  std::function<void(size_t index)> entryFinal;

  // Directories in which this run could make a new file (folded path: yes or no), so that
  // each is tried once per run.
  std::map<std::string, bool> writableDirectories;

  // Directories in which this run has put new files in place, each made durable once when
  // the update pass ends (Env::SyncDirectory) rather than once per file.
  std::set<std::string> replacedDirectories;
};
