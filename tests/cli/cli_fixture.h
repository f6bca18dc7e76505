// The fixture of vareri-cli's tests: product Demo installed and its update written, the
// program run in this process on it, and the engine's own lines for the same run.
#pragma once

#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_in_process.h"
#include "engine/engine_fixture.h"

using Lines = std::vector<std::string>;

inline Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `json` with the fields that differ from run to run in a fixed form, once their form is
// checked: the start time, the duration.
inline std::string Steady(const std::string& json) {
  static const std::regex started(R"("started":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")");
  static const std::regex duration(R"("durationMs":\d+)");
  std::string steady = std::regex_replace(json, started, "\"started\":\"T\"");
  return std::regex_replace(steady, duration, "\"durationMs\":0");
}

class CliTest : public EngineTest {
 protected:
  struct Outcome {
    int status;
    Lines out;
    std::string err;
  };

  // Runs vareri-cli in this process over the fixture's Env (or `env`), its standard error a
  // terminal when `terminal` says so. Standard output is in live_ while it runs.
  Outcome Cli(const Lines& args, Env* env = nullptr, bool terminal = false) {
    live_.str("");
    CliOutput run = RunCliInProcess(args, env ? env : &env_, terminal, &live_);
    return Outcome{run.status, SplitLines(run.out), run.err};
  }
  // The command, the update file and the fixture's directories.
  Lines Args(const char* command, const Lines& more = {}) const {
    return Concat({command, updatePath_, "--dir", Win("APP"), "--windows-dir", Win("WIN"),
                   "--system-dir", Win("WIN\\SYSTEM")},
                  more);
  }

  // Demo: Program (A.DLL: older, a known previous version), Help (B.DLL: the same, not
  // selected by default), Engine (E.DLL: already current). `bigger` makes A.DLL as many
  // bytes larger. The update is closed again: the cli opens it itself.
  void BuildProduct(const std::function<void(DocumentPlan&)>& tweak = nullptr, size_t bigger = 0) {
    DemoOptions demo;
    demo.tweak = tweak;
    demo.bigger = bigger;
    BuildDemo(demo);
    app_.updateFile.reset();
  }
  // A.DLL and B.DLL back at 1.0, and no backup of them.
  void InstallOld() {
    Install(Win("APP\\A.DLL"), oldA_);
    Install(Win("APP\\B.DLL"), oldB_);
    std::filesystem::remove(Native(Win("APP\\A.DL_")));
    std::filesystem::remove(Native(Win("APP\\B.DL_")));
  }
  // The lines the engine logs for the same run, as the window shows them.
  Lines EngineLines(bool doUpdate, const std::function<void(VEzorazEdo&)>& options = nullptr) {
    app_.document = VEzorazEdo();
    app_.updateFile = OpenForReading(Native(updatePath_));
    app_.document.EnsureLoaded(*app_.updateFile);
    if (options) options(app_.document);
    Run(doUpdate);
    app_.updateFile.reset();
    return log_.lines;
  }

  std::ostringstream live_;
  const Bytes &oldA_ = demo_[0][0], &newA_ = demo_[1][0];
  const Bytes &oldB_ = demo_[0][1], &newB_ = demo_[1][1], &newE_ = demo_[1][2];
};
