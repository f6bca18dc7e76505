#include "cli_options.h"

#include "cli_help.h"
#include "model/limits.h"
#include "option_parser.h"

std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options) {
  std::string command;
  bool haveFile = false;
  OptionSyntax syntax;
  syntax.inlineValues = true;
  syntax.dashDashEnds = true;
  syntax.loneDashIsArgument = true;
  syntax.strictValues = true;
  OptionParser parser(syntax, [&](const std::string& arg) -> std::string {
    if (command.empty()) {
      command = arg;
    } else if (!haveFile) {
      options->updatePath = arg;
      haveFile = true;
    } else {
      return "unexpected argument " + arg;
    }
    return std::string();
  });
  parser.AddStop({"-h", "--help"}, &options->help);
  parser.AddStop({"--version"}, &options->version);
  parser.AddFlag({"--backup"}, &options->backup);
  parser.AddFlag({"--json"}, &options->json);
  parser.AddFlag({"--quiet"}, &options->quiet);
  // The directories, checked for length below.
  const struct {
    const char* name;
    std::string* value;
  } directories[] = {
      {"--dir", &options->dir},
      {"--windows-dir", &options->windowsDir},
      {"--system-dir", &options->systemDir},
  };
  for (const auto& directory : directories) {
    parser.AddValue({directory.name}, directory.value, "needs a value");
  }
  parser.AddValue({"--log"}, &options->logPath, "needs a value");
  parser.AddValue({"--key"}, &options->keyPath, "needs a value");
  parser.AddList({"--only"}, &options->only, "needs a value");
  parser.AddList({"--exclude"}, &options->exclude, "needs a value");

  std::string problem = parser.Parse(args);
  if (!problem.empty() || options->help || options->version) return problem;
  if (command.empty()) return "no command given (check, update or list)";
  if (command != "check" && command != "update" && command != "list") {
    return "unknown command " + command;
  }
  if (!haveFile) return command + " needs an update file";
  options->doUpdate = command == "update";
  options->list = command == "list";
  if (options->backup && !options->doUpdate) return "--backup is only for update";
  // Longer paths are refused, never cut (a cut path names another directory).
  for (const auto& directory : directories) {
    if (directory.value->size() > kMaxPathLength) {
      return std::string(directory.name) + " is longer than " + std::to_string(kMaxPathLength) +
             " characters";
    }
  }
  return std::string();
}

std::string CommandLineText(const std::vector<std::string>& args) {
  std::string text = kCliProgram;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool quoted = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
    text += quoted ? " \"" + arg + "\"" : " " + arg;
  }
  return text;
}
