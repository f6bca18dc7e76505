// What vareri-cli shows while a check or update goes on: with --json each entry's line as
// soon as the engine says its outcome is final, and the count of each pass on the progress
// line. The run, the streams and the progress line belong to the caller and outlive it.
#pragma once

#include <cstddef>
#include <ostream>

#include "progress_line.h"
#include "session/app_state.h"

class LiveRun {
 public:
  // `json`: where each entry's line goes, null without --json. Hooks itself to `app`'s
  // entryPassed and entryFinal until it is destroyed.
  LiveRun(AppState& app, bool doUpdate, std::ostream* json, ProgressLine& progress);
  ~LiveRun();
  LiveRun(const LiveRun&) = delete;
  LiveRun& operator=(const LiveRun&) = delete;

  // The run has returned or raised: clears the progress line and, with --json, prints the
  // lines of the entries not printed yet (those a raised failure left), so that every entry
  // has its line before the summary.
  void Finish();

 private:
  void Passed(int pass, size_t index);
  // Prints the lines of the entries from the first not printed up to `end`, and flushes.
  void PrintUpTo(size_t end);

  AppState& app_;
  bool doUpdate_;
  std::ostream* json_;
  ProgressLine& progress_;
  size_t printed_ = 0;  // how many entries' lines are out
};
