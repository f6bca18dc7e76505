// vareri-cli run inside the test's own process, for its tests, the scenarios and the
// window's agreement with it: the exit status and what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

struct CliOutput {
  int status;
  std::string out, err;
};

// Runs vareri-cli with `args` (the program's name comes first by itself) over `env`, or
// over the OS when it is null. With `env`: `errIsTerminal` as RunCli takes it, and `live`
// (when given) is standard output, to be read while the run goes on.
inline CliOutput RunCliInProcess(std::vector<std::string> args, Env* env = nullptr,
                                 bool errIsTerminal = false, std::ostringstream* live = nullptr) {
  args.insert(args.begin(), "vareri-cli");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  std::ostringstream own, err;
  std::ostringstream& out = live ? *live : own;
  int status = env ? RunCli(argc, argv.data(), out, err, *env, errIsTerminal)
                   : RunCli(argc, argv.data(), out, err);
  return CliOutput{status, out.str(), err.str()};
}

// The lines of `text`, without their line ends ("\r\n" too: a real program's output).
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
