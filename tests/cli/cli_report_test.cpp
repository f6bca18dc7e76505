// What a run's record comes to in vareri-cli's report where no test run gets cheaply: a
// run that was stopped, one ended by a raised failure, and a signature nobody checked.
#include "cli_report.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "entry_json.h"

namespace {

TEST(CliReport, StoppedRaisedAndUncheckedRunsSayWhatHappened) {
  enum Case { stoppedCheck, stoppedUpdate, raised, systemFile, claimed };
  for (Case c : {stoppedCheck, stoppedUpdate, raised, systemFile, claimed}) {
    AppState app;
    CliOptions options;
    options.json = true;
    options.doUpdate = c == stoppedUpdate || c == raised;
    for (uint16_t kind : {kindInstallation, c == systemFile ? kindSystem : kindWindows}) {
      app.document.items.push_back(std::make_unique<CUpdateItem>());
      app.document.items.back()->directoryKind = kind;
      app.record.entries.emplace_back();
    }
    app.record.cancelled = c == stoppedCheck || c == stoppedUpdate;
    app.record.entries[0].replaced = c == stoppedUpdate;
    app.record.entries[1].error = c == systemFile ? fileNotFound : none;
    app.runOk = c != systemFile && !app.record.cancelled;
    app.document.integrity.recordPresent = app.document.integrity.isSigned = c == claimed;
    RunEnd end;
    end.installDir = "/nowhere/at/all";
    if (c == raised) end.raised = "Disk full";
    CliReport report = ReportRun(app, options, end);
    const std::string& summary = report.out.at(0);
    EXPECT_EQ(bool(Contains(summary, "\"interrupted\":true")), app.record.cancelled) << c;
    EXPECT_EQ(bool(Contains(summary, "\"ok\":false")), c != claimed) << c;
    EXPECT_EQ(bool(Contains(summary, "\"claimedKeyId\":")), c == claimed) << c;
    const char* says[] = {
        "interrupted: the check did not finish",
        "interrupted: 1 file was replaced, no other was touched",
        "the update found an error; no file was changed",
        "the installation directory /nowhere/at/all does not exist",
        "it claims to be signed by key",
    };
    std::string err;
    for (const std::string& line : report.err) err += line + "\n";
    EXPECT_TRUE(Contains(err, says[c])) << c;
  }
}

// An entry the stopped run never came to has no verdict, a match the record cannot hold is
// not shown, and a file under a path that cannot be is missing.
TEST(CliReport, EntriesNotReachedOrUnderNoDirectory) {
  CUpdateItem item;
  EntryOutcome outcome;
  outcome.selected = true;
  outcome.matched = 1;  // no previous version is listed
  std::string json = EntryJson(item, 1, outcome, false);
  EXPECT_TRUE(Contains(json, "\"verdict\":null"));
  EXPECT_FALSE(Contains(json, "\"matched\"")) << json;
  // A path whose directory is not one is a file that is missing, as to a script.
  outcome.error = fileNotFound;
  outcome.openCause = FileCause::badPath;
  json = EntryJson(item, 1, outcome, false);
  EXPECT_TRUE(Contains(json, "\"reason\":\"missing\""));
}

}  // namespace
