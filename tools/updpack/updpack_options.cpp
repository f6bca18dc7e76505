#include "updpack_options.h"

#include <cctype>
#include <cstdlib>

#include "option_parser.h"

namespace {

// Whether `command` is one of the blank-separated `commands`.
bool Among(const std::string& command, const std::string& commands) {
  return (" " + commands + " ").find(" " + command + " ") != std::string::npos;
}

// The rules of each command, once the command line is read.
std::string CheckCommand(UpdpackOptions* options, const std::string& jobs) {
  const std::string& command = options->command;
  const std::string& input = options->input;
  if (command == "init") {
    if (!input.empty()) return "unexpected argument " + input;
    if (options->init.newDirectory.empty()) return "init needs --new FOLDER";
    if (options->init.previousDirectories.empty()) {
      return "init needs at least one --previous FOLDER";
    }
    if (options->output.empty()) return "init needs -o MANIFEST";
    options->init.output = options->output;
    return std::string();
  }
  if (command == "keygen") {
    if (!input.empty()) return "unexpected argument " + input;
    if (options->privateKey.empty() || options->publicKey.empty()) {
      return "keygen needs --private KEY and --public PUBLIC";
    }
    return std::string();
  }
  if (command == "key") {
    if (input != "show" || options->keyFile.empty()) return "key needs show KEYFILE";
    return std::string();
  }
  if (input.empty()) return command + " needs a file";
  if (command == "build") {
    if (options->output.empty()) return "build needs -o FILE.upd";
    if (options->plain && !options->sign.empty()) return "--plain leaves no record to sign";
    if (!jobs.empty()) {
      char* end = nullptr;
      unsigned long n = std::strtoul(jobs.c_str(), &end, 10);
      if (*end || n < 1 || n > 256 || !std::isdigit(static_cast<unsigned char>(jobs[0]))) {
        return "-j needs a number of files from 1 to 256, not \"" + jobs + "\"";
      }
      options->jobs = static_cast<unsigned>(n);
    }
    return std::string();
  }
  if (command == "list" || command == "verify") return std::string();
  // The rest signs.
  if (options->key.empty()) return "sign needs --key KEY";
  return std::string();
}

}  // namespace

std::string ParseUpdpackOptions(const std::vector<std::string>& args, UpdpackOptions* options) {
  OptionParser parser(OptionSyntax(), [options](const std::string& arg) -> std::string {
    if (options->command.empty()) {
      options->command = arg;
    } else if (options->input.empty()) {
      options->input = arg;
    } else if (options->command == "key" && options->keyFile.empty()) {
      options->keyFile = arg;
    } else {
      return "unexpected argument " + arg;
    }
    return std::string();
  });
  std::string jobs;
  // The options that take a name, and the commands each belongs to.
  const struct {
    const char* name;
    const char* shortName;
    const char* commands;
    std::string* value;
  } named[] = {
      {"--output", "-o", "build init", &options->output},
      {"--sign", nullptr, "build", &options->sign},
      {"--key", nullptr, "sign verify", &options->key},
      {"--private", nullptr, "keygen", &options->privateKey},
      {"--public", nullptr, "keygen", &options->publicKey},
      {"--jobs", "-j", "build", &jobs},
  };
  for (const auto& option : named) {
    std::vector<std::string> names = {option.name};
    if (option.shortName) names.push_back(option.shortName);
    parser.AddValue(names, option.value, option.value == &jobs ? "needs a number" : "needs a name");
  }
  parser.AddList({"--previous"}, &options->init.previousDirectories, "needs a name");
  parser.AddValue({"--new"}, &options->init.newDirectory, "needs a name");
  parser.AddFlag({"-q", "--quiet"}, &options->quiet);
  parser.AddFlag({"--plain"}, &options->plain);
  parser.AddStop({"-h", "--help"}, &options->help);
  parser.AddStop({"--version"}, &options->version);

  std::string problem = parser.Parse(args);
  if (!problem.empty() || options->help || options->version) return problem;
  const std::string& command = options->command;
  if (command.empty()) return "no command given";
  if (!Among(command, "build list verify sign keygen key init")) {
    return "\"" + command + "\" is not a command";
  }
  for (const auto& option : named) {
    if (!option.value->empty() && !Among(command, option.commands)) {
      return std::string(option.name) + " is only for " + option.commands;
    }
  }
  if (options->plain && command != "build") return "--plain is only for build";
  if (!options->init.newDirectory.empty() || !options->init.previousDirectories.empty()) {
    if (command != "init") return "--new and --previous are only for init";
  }
  return CheckCommand(options, jobs);
}
