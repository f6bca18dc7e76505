// The command-line reading vareri-cli and updpack share: flags, options with a value (one or
// repeated), options that end the reading (--help), and positional arguments, each tool with
// its own syntax (OptionSyntax) and its own words for what is wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Where the tools' command lines differ; everything else is read the same way.
struct OptionSyntax {
  bool inlineValues = false;        // "--name=value" as well as "--name value"
  bool dashDashEnds = false;        // "--" ends the options: what follows is positional
  bool loneDashIsArgument = false;  // "-" is an argument (a file so named), not an option
  bool strictValues = false;        // an empty value, or a single value given twice, is refused
};

class OptionParser {
 public:
  // Takes each positional argument in turn; returns "" or what is wrong with it.
  using Positional = std::function<std::string(const std::string& arg)>;

  OptionParser(const OptionSyntax& syntax, Positional positional);

  // Each option is declared by its spellings ("-o", "--output") and where its value goes;
  // the targets belong to the caller and outlive Parse.

  // Sets `*given` when the option appears, however often.
  void AddFlag(std::vector<std::string> names, bool* given);
  // Sets `*given` and ends the reading there (--help, --version): what follows is not read.
  void AddStop(std::vector<std::string> names, bool* given);
  // An option with one value; without one the problem is "<name> <missing>" ("needs a name").
  void AddValue(std::vector<std::string> names, std::string* value, std::string missing);
  // An option that may be repeated, each value appended.
  void AddList(std::vector<std::string> names, std::vector<std::string>* values,
               std::string missing);

  // Reads args[1..] (args[0] is the program). Returns "" or the first thing wrong, in which
  // case the targets hold what was read before it.
  std::string Parse(const std::vector<std::string>& args) const;

 private:
  enum class Kind { flag, stop, value, list };
  struct Option {
    Kind kind;
    std::vector<std::string> names;
    bool* given = nullptr;
    std::string* value = nullptr;
    std::vector<std::string>* values = nullptr;
    std::string missing;
  };

  bool IsOption(const std::string& arg) const;
  const Option* Find(const std::string& name) const;

  OptionSyntax syntax_;
  Positional positional_;
  std::vector<Option> options_;
};
