// vareri-cli's command line as data: the command, the update file and the options, read by
// the parser both tools share, and checked before anything is opened.
#pragma once

#include <string>
#include <vector>

// An empty string stands for an option not given: the command line refuses empty values.
struct CliOptions {
  bool help = false;
  bool version = false;
  bool doUpdate = false;
  bool list = false;
  std::string commandLine;  // as given, for the log
  std::string updatePath;
  std::string dir;
  std::string windowsDir;
  std::string systemDir;
  std::string logPath;
  std::string keyPath;     // --key: a key's one-line text, or a file holding a key
  std::string trustStore;  // --trust-store (the native build only)
  bool trust = false;      // the trust command, with `trustAction` add, list or remove
  std::string trustAction;
  bool user = false;  // trust: the per-user part of the store
  bool backup = false;
  bool json = false;
  bool quiet = false;
  std::vector<std::string> only;
  std::vector<std::string> exclude;
};

// Fills `options` from `args` (args[0] is the program's name). Returns "" or what is wrong;
// after --help or --version the rest is not read and "" is returned.
std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options);

// The command line as one line of text, each argument with a blank or a quote in quotes.
std::string CommandLineText(const std::vector<std::string>& args);
