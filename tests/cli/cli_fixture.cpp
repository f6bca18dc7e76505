#include "cli_fixture.h"

#include <regex>

namespace fs = std::filesystem;

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Steady(const std::string& json) {
  static const std::regex started(R"("started":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")");
  static const std::regex duration(R"("durationMs":\d+)");
  std::string steady = std::regex_replace(json, started, "\"started\":\"T\"");
  return std::regex_replace(steady, duration, "\"durationMs\":0");
}

CliTest::Outcome CliTest::Cli(const Lines& args, Env* env) {
  CliOutput run = RunCliInProcess(args, env ? env : &env_);
  return Outcome{run.status, SplitLines(run.out), run.err};
}

Lines CliTest::Args(const char* command, const Lines& more) const {
  return Concat({command, updatePath_, "--dir", Win("APP"), "--windows-dir", Win("WIN"),
                 "--system-dir", Win("WIN\\SYSTEM")},
                more);
}

void CliTest::BuildProduct(const std::function<void(DocumentPlan&)>& tweak, size_t bigger) {
  DemoOptions demo;
  demo.tweak = tweak;
  demo.bigger = bigger;
  BuildDemo(demo);
  app_.updateFile.reset();  // opened with no sharing: the cli opens it itself
}

void CliTest::InstallOld() {
  Install(Win("APP\\A.DLL"), oldA_);
  Install(Win("APP\\B.DLL"), oldB_);
  fs::remove(Native(Win("APP\\A.DL_")));
  fs::remove(Native(Win("APP\\B.DL_")));
}

Lines CliTest::EngineLines(bool doUpdate, const std::function<void(VEzorazEdo&)>& options) {
  app_.document = VEzorazEdo();
  app_.updateFile = OpenForReading(Native(updatePath_));
  app_.document.EnsureLoaded(*app_.updateFile);
  if (options) options(app_.document);
  Run(doUpdate);
  app_.updateFile.reset();
  return log_.lines;
}
