// The scenarios applied by vareri-cli, in-process: natively and under Wine.
#include "cli/cli_in_process.h"
#include "scenarios/scenario_suite.h"

namespace {

class CliRunner {
 public:
  explicit CliRunner(const EngineTest& test) : test_(test) {}

  RunOutcome Run(const RunRequest& request, const std::string& updatePath) {
    std::vector<std::string> args = {request.doUpdate ? "update" : "check",
                                     updatePath,
                                     "--system-dir",
                                     test_.app().systemDir,
                                     "--windows-dir",
                                     test_.app().windowsDir};
    if (!request.proposedDirectory) {
      args.push_back("--dir");
      args.push_back(test_.app().installDir);
    }
    if (request.backup) args.push_back("--backup");
    for (const std::string& name : request.leaveOut) {
      args.push_back("--exclude");
      args.push_back(name);
    }
    RunOutcome outcome;
    outcome.lines = SplitLines(RunCliInProcess(args).out);
    if (!outcome.lines.empty()) {
      outcome.closing = outcome.lines.back();
      outcome.lines.pop_back();
    }
    return outcome;
  }

 private:
  const EngineTest& test_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Cli, ScenarioTest, CliRunner);
