#include "cli_report.h"

#include "clock.h"
#include "engine/update_error.h"
#include "entry_json.h"
#include "host.h"
#include "model/paths.h"
#include "session/closing_message.h"

namespace {

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The summary that follows the entries' lines (LiveRun printed those as the run went on).
std::string RunSummary(const AppState& app, const CliOptions& options, const RunEnd& end,
                       const std::string& closing, ExitStatus status) {
  const RunRecord& record = app.record;
  JsonObject summary = end.summary;
  summary.Add("product", app.productName)
      .Add("directory", end.installDir)
      .Add("ok", end.raised.empty() && app.runOk)
      .Add("updateNeeded", app.updateNeeded)
      .Add("entries", static_cast<long>(record.entries.size()))
      .Add("errors", static_cast<long>(record.Errors()));
  if (options.doUpdate) summary.Add("updated", static_cast<long>(record.Replaced()));
  summary.Add("changed", static_cast<long>(record.Changed()));
  if (record.cancelled) summary.Add("interrupted", true);
  const IntegrityOutcome& integrity = app.document.integrity;
  if (integrity.recordPresent) {
    JsonObject checked;
    // Signed only when the signature was checked against a key that was required: a claim
    // nobody checked proves nothing.
    bool verified = integrity.signatureVerified;
    checked.Add("record", true).Add("digestsChecked", true).Add("signed", verified);
    if (verified) {
      checked.Add("keyId", integrity.signer.Hex());
    } else {
      checked.AddNull("keyId");
    }
    if (integrity.isSigned && !verified) checked.Add("claimedKeyId", integrity.signer.Hex());
    checked.Add("signatureVerified", verified);
    summary.AddRaw("integrity", checked.Text());
  }
  if (end.raised.empty()) {
    summary.Add("text", closing);
  } else {
    summary.AddNull("text").Add("error", end.raised);
  }
  summary.Add("durationMs", end.durationMs).Add("exitCode", status);
  return summary.Text();
}

JsonObject SummaryOf(const std::string& command, const std::string& file, std::time_t started) {
  JsonObject summary;
  summary.Add("type", "summary")
      .Add("command", command)
      .Add("file", file)
      .Add("host", HostName())
      .Add("started", IsoTimestamp(started));
  return summary;
}

// What went wrong: the run's end, then each entry's reason.
std::vector<std::string> Problems(const AppState& app, const CliOptions& options, const RunEnd& end,
                                  ExitStatus status) {
  const RunRecord& record = app.record;
  const bool doUpdate = options.doUpdate;
  const size_t changed = record.Changed();
  std::vector<std::string> problems;
  if (!end.raised.empty()) problems.push_back(end.raised);
  if (record.cancelled) {
    problems.push_back(!doUpdate ? "interrupted: the check did not finish"
                       : changed ? "interrupted: " + Plural(changed, "file was", "files were") +
                                       " replaced, no other was touched"
                                 : "interrupted: no file was changed");
  } else if (status == kExitPartial) {
    problems.push_back("the update stopped part-way: " +
                       Plural(record.Replaced(), "file was", "files were") + " replaced");
  } else if (status == kExitErrors) {
    const size_t errors = record.Errors();
    std::string found = Plural(errors, "error", "errors");
    if (errors == 0 && !end.raised.empty()) found = "an error";
    problems.push_back(doUpdate ? "the update found " + found + "; no file was changed"
                                : "the check found " + found);
    bool underInstallDir = false;  // an entry under the installation directory failed
    for (size_t k = 0; k < record.entries.size(); ++k) {
      uint16_t kind = app.document.items[k]->directoryKind;
      if (record.entries[k].error != none && (kind == kindInstallation || kind == kindSystem)) {
        underInstallDir = true;
      }
    }
    if (underInstallDir && !IsDirectory(end.installDir)) {
      problems.push_back("the installation directory " + end.installDir +
                         " does not exist or cannot be read" +
                         (options.dir.empty() ? "; give it with --dir" : ""));
    }
  }
  for (size_t k = 0; k < record.entries.size(); ++k) {
    std::string why = EntryCauseText(record.entries[k]);
    if (!why.empty()) {
      problems.push_back(app.document.items[k]->targetPath + ": " + why);
    }
  }
  return problems;
}

}  // namespace

JsonObject SummaryStart(const CliOptions& options, std::time_t started) {
  return SummaryOf(options.list       ? "list"
                   : options.doUpdate ? "update"
                                      : "check",
                   options.updatePath, started);
}

JsonObject SummaryStart(std::time_t started) { return SummaryOf("", "", started); }

std::string RefusalSummary(JsonObject summary, const std::string& message, long durationMs,
                           ExitStatus status) {
  summary.Add("changed", 0)
      .Add("error", message)
      .Add("durationMs", durationMs)
      .Add("exitCode", status);
  return summary.Text();
}

std::string ListSummary(JsonObject summary, const AppState& app, const std::string& installDir,
                        long durationMs) {
  summary.Add("product", app.productName)
      .Add("directory", installDir)
      .Add("entries", static_cast<long>(app.document.items.size()))
      .Add("changed", 0)
      .Add("durationMs", durationMs)
      .Add("exitCode", kExitUpToDate);
  return summary.Text();
}

CliReport ReportRun(const AppState& app, const CliOptions& options, const RunEnd& end) {
  const bool raised = !end.raised.empty();
  CliReport report;
  report.status = RunExitStatus(app, options.doUpdate, raised);
  std::string closing;
  if (!raised) {
    closing = MakeClosingMessage(app.productName, app.failureMessage, options.doUpdate, app.runOk,
                                 app.updateNeeded)
                  .text;
  }
  if (options.json) {
    report.out.push_back(RunSummary(app, options, end, closing, report.status));
  } else if (!raised && !options.quiet) {
    report.out.push_back(closing);
  }
  if (!raised) report.notes.push_back(closing);

  std::vector<std::string> info;
  std::string checked = IntegrityText(app.document.integrity);
  if (!checked.empty()) info.push_back(checked);
  if (options.doUpdate && report.status == kExitUpToDate && app.record.Changed() == 0) {
    info.push_back("nothing was changed: every selected file was up to date already");
  }
  for (const std::string& line : info) {
    if (!options.quiet) report.err.push_back(line);
    report.notes.push_back(line);
  }
  for (const std::string& problem : Problems(app, options, end, report.status)) {
    report.err.push_back(problem);
    report.notes.push_back("error: " + problem);
  }
  return report;
}

std::string IntegrityText(const IntegrityOutcome& integrity) {
  if (!integrity.recordPresent) return std::string();
  std::string text = "the update file matches the digests of its integrity record; ";
  if (!integrity.isSigned) return text + "it is not signed";
  if (integrity.signatureVerified) {
    return text + "it is signed by key " + integrity.signer.Hex() + ", signature verified";
  }
  return text + "it claims to be signed by key " + integrity.signer.Hex() +
         "; no key required it, so it was not checked";
}
