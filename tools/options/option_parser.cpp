#include "option_parser.h"

#include <utility>

OptionParser::OptionParser(const OptionSyntax& syntax, Positional positional)
    : syntax_(syntax), positional_(std::move(positional)) {}

void OptionParser::AddFlag(std::vector<std::string> names, bool* given) {
  options_.push_back(Option{Kind::flag, std::move(names), given, nullptr, nullptr, ""});
}

void OptionParser::AddStop(std::vector<std::string> names, bool* given) {
  options_.push_back(Option{Kind::stop, std::move(names), given, nullptr, nullptr, ""});
}

void OptionParser::AddValue(std::vector<std::string> names, std::string* value,
                            std::string missing) {
  options_.push_back(
      Option{Kind::value, std::move(names), nullptr, value, nullptr, std::move(missing)});
}

void OptionParser::AddList(std::vector<std::string> names, std::vector<std::string>* values,
                           std::string missing) {
  options_.push_back(
      Option{Kind::list, std::move(names), nullptr, nullptr, values, std::move(missing)});
}

bool OptionParser::IsOption(const std::string& arg) const {
  if (arg.empty() || arg[0] != '-') return false;
  return arg.size() > 1 || !syntax_.loneDashIsArgument;
}

const OptionParser::Option* OptionParser::Find(const std::string& name) const {
  for (const Option& option : options_) {
    for (const std::string& spelling : option.names) {
      if (name == spelling) return &option;
    }
  }
  return nullptr;
}

std::string OptionParser::Parse(const std::vector<std::string>& args) const {
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !IsOption(arg)) {
      std::string problem = positional_(arg);
      if (!problem.empty()) return problem;
      continue;
    }
    if (syntax_.dashDashEnds && arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool inlineValue = false;
    size_t equals = arg.find('=');
    if (syntax_.inlineValues && arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      inlineValue = true;
    }
    const Option* option = Find(name);
    // --help and --version are taken only as written.
    if (!option || (inlineValue && option->kind == Kind::stop)) return "unknown option " + arg;
    if (option->kind == Kind::stop) {
      *option->given = true;
      return std::string();
    }
    if (option->kind == Kind::flag) {
      if (inlineValue) return name + " takes no value";
      *option->given = true;
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) return name + " " + option->missing;
      value = args[++i];
    }
    if (syntax_.strictValues && value.empty()) return name + " " + option->missing;
    if (option->kind == Kind::list) {
      option->values->push_back(value);
      continue;
    }
    // Under strictValues no value is empty, so an empty one was not given yet.
    if (syntax_.strictValues && !option->value->empty()) return name + " is given twice";
    *option->value = value;
  }
  return std::string();
}
