// What the passes of a run share (run.cpp, update_pass.cpp, free_space.cpp): an entry's
// error line, the stop between entries, and telling the caller how far the run has come.
#pragma once

#include <cstddef>

#include "engine/run_context.h"
#include "model/document.h"

// The error line of an entry, in the log and in its outcome (run.current).
void FailEntry(RunContext& run, const CUpdateItem& item, UpdateError rc, int pass);

// Whether the caller asked the run to stop; a run that stops has failed.
bool StopAsked(RunContext& run);

// Tells run.entryPassed that `pass` dealt with entry `index`.
void Passed(RunContext& run, int pass, size_t index);

// Whether the update pass makes a new version of the entry: a selected, older file to
// replace or one to add.
inline bool MakesNewFile(const CUpdateItem& item) {
  return item.selected && item.verdict == verdictUpdate && item.action != EntryAction::remove;
}

// Tells run.entryFinal of each entry before `end` not told yet, in order.
class FinalEntries {
 public:
  explicit FinalEntries(RunContext& run) : run_(run) {}
  void UpTo(size_t end) {
    for (; told_ < end; ++told_) {
      if (run_.entryFinal) run_.entryFinal(told_);
    }
  }

 private:
  RunContext& run_;
  size_t told_ = 0;
};

// The first pass's last check of an update in which every entry passed: whether each volume
// has room for the new versions the update pass makes there, all at once. Fails the first
// entry that does not fit (cannotWrite, EntryCause::diskFull).
void CheckFreeSpace(const VEzorazEdo& doc, RunContext& run);

// The second pass of an update in which every selected entry passed.
void RunUpdatePass(CFile& updateFile, VEzorazEdo& doc, RunContext& run, FinalEntries& settled);
