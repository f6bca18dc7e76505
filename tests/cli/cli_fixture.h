// The fixture of vareri-cli's tests: product Demo installed and its update written, the
// program run in this process on it, and the engine's own lines for the same run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli_in_process.h"
#include "engine/engine_fixture.h"

using Lines = std::vector<std::string>;

Lines Concat(Lines a, const Lines& b);

// `json` with the fields that differ from run to run in a fixed form, once their form is
// checked: the start time, the duration.
std::string Steady(const std::string& json);

class CliTest : public EngineTest {
 protected:
  struct Outcome {
    int status;
    Lines out;
    std::string err;
  };

  // Runs vareri-cli in this process over the fixture's Env (or `env`).
  Outcome Cli(const Lines& args, Env* env = nullptr);
  // The command, the update file and the fixture's directories.
  Lines Args(const char* command, const Lines& more = {}) const;

  // Demo: Program (A.DLL: older, a known previous version), Help (B.DLL: the same, not
  // selected by default), Engine (E.DLL: already current). `bigger` makes A.DLL as many
  // bytes larger. The update is closed again: the cli opens it itself.
  void BuildProduct(const std::function<void(DocumentPlan&)>& tweak = nullptr, size_t bigger = 0);
  // A.DLL and B.DLL back at 1.0, and no backup of them.
  void InstallOld();
  // The lines the engine logs for the same run, as the window shows them.
  Lines EngineLines(bool doUpdate, const std::function<void(VEzorazEdo&)>& options = nullptr);

  const Bytes &oldA_ = demo_[0][0], &newA_ = demo_[1][0];
  const Bytes &oldB_ = demo_[0][1], &newB_ = demo_[1][1], &newE_ = demo_[1][2];
};
