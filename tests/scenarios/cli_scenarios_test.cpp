// The scenarios applied by vareri-cli, in-process: natively and under Wine.
#include <sstream>

#include "cli.h"
#include "scenarios/scenario_suite.h"

namespace {

class CliRunner {
 public:
  explicit CliRunner(const EngineTest& test) : test_(test) {}

  RunOutcome Run(const RunRequest& request, const std::string& updatePath) {
    std::vector<std::string> args = {"vareri-cli",
                                     request.doUpdate ? "update" : "check",
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
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    std::ostringstream out, err;
    RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    RunOutcome outcome;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) outcome.lines.push_back(line);
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
