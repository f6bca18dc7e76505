#include "cli_options.h"

#include "cli_help.h"
#include "model/limits.h"
#include "option_parser.h"

namespace {

// vareri-cli trust add|list|remove: which options each takes.
std::string CheckTrustCommand(CliOptions* options) {
  options->trust = true;
  const std::string& action = options->trustAction;
  if (action.empty()) return "trust needs add, list or remove";
  if (action != "add" && action != "list" && action != "remove") {
    return "unknown trust command " + action + " (add, list or remove)";
  }
  if (action != "list" && options->dir.empty()) return "trust " + action + " needs --dir DIR";
  if (action == "add" && options->keyPath.empty()) return "trust add needs --key KEY";
  if (action != "add" && !options->keyPath.empty()) return "--key is only for trust add";
  if (action == "list" && (options->user || !options->dir.empty())) {
    return "trust list takes no --dir or --user: it lists the whole store";
  }
  if (options->backup || options->json || !options->only.empty() || !options->exclude.empty() ||
      !options->windowsDir.empty() || !options->systemDir.empty()) {
    return "trust takes only --dir, --key, --user and --quiet";
  }
  return std::string();
}

}  // namespace

std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options) {
  std::string command;
  bool haveFile = false;
  bool haveAction = false;
  OptionSyntax syntax;
  syntax.inlineValues = true;
  syntax.dashDashEnds = true;
  syntax.loneDashIsArgument = true;
  syntax.strictValues = true;
  OptionParser parser(syntax, [&](const std::string& arg) -> std::string {
    if (command.empty()) {
      command = arg;
    } else if (command == "trust" && !haveAction) {
      options->trustAction = arg;
      haveAction = true;
    } else if (!haveFile && command != "trust") {
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
#ifndef _WIN32
  parser.AddValue({"--trust-store"}, &options->trustStore, "needs a value");
#endif
  parser.AddFlag({"--user"}, &options->user);
  parser.AddList({"--only"}, &options->only, "needs a value");
  parser.AddList({"--exclude"}, &options->exclude, "needs a value");

  std::string problem = parser.Parse(args);
  if (!problem.empty() || options->help || options->version) return problem;
  if (command.empty()) return "no command given (check, update, list or trust)";
  if (command == "trust") return CheckTrustCommand(options);
  if (command != "check" && command != "update" && command != "list") {
    return "unknown command " + command;
  }
  if (options->user) return "--user is only for trust";
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
