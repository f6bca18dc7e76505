// vareri-cli's report: what a run's record and flags, a listing or a refusal come to as lines
// for standard output, the error stream and the log file, and the exit status. Nothing here
// prints; cli.cpp writes the lines where they go.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "cli_options.h"
#include "json_text.h"
#include "model/integrity_check.h"
#include "session/app_state.h"
#include "session/exit_status.h"

// A run's report, each stream's lines in the order they are written.
struct CliReport {
  ExitStatus status = kExitUpToDate;
  std::vector<std::string> out;    // the JSON summary, or the closing text
  std::vector<std::string> err;    // each after "vareri-cli: "
  std::vector<std::string> notes;  // for the log file
};

// How a run that was started ended, besides what `app` records.
struct RunEnd {
  std::string raised;      // what a raised failure said; "" when the run returned
  std::string installDir;  // the installation directory it used
  JsonObject summary;      // the JSON summary's first fields (SummaryStart)
  long durationMs = 0;     // how long vareri-cli has taken so far
};

// The fields every JSON summary begins with: the command, the file, the host and when
// vareri-cli `started`.
JsonObject SummaryStart(const CliOptions& options, std::time_t started);

// The same for a command line that could not be read: command and file are "".
JsonObject SummaryStart(std::time_t started);

// The JSON summary of a failure before any run, which said `message` and exits `status`.
std::string RefusalSummary(JsonObject summary, const std::string& message, long durationMs,
                           ExitStatus status);

// The JSON summary of a listing of the loaded document in `app`.
std::string ListSummary(JsonObject summary, const AppState& app, const std::string& installDir,
                        long durationMs);

// The report of the check or update `app` last ran: its status by RunExitStatus, the closing
// text or the JSON summary (the entries' lines are LiveRun's), what the load checked, and
// what went wrong, entry by entry.
CliReport ReportRun(const AppState& app, const CliOptions& options, const RunEnd& end);

// What the load checked, for the error stream; "" for a file without an integrity record,
// which runs as it always has.
std::string IntegrityText(const IntegrityOutcome& integrity);
