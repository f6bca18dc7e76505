// updpack's command line as data: the command, its file and the options, read by the parser
// both tools share and checked against the command before anything runs.
#pragma once

#include <string>
#include <vector>

#include "init.h"

// An empty string stands for an option not given (or given empty, which is the same here).
struct UpdpackOptions {
  bool help = false;
  bool version = false;
  std::string command;
  std::string input;    // the manifest or update file; for key, its action (show)
  std::string keyFile;  // key show: the key
  bool quiet = false;
  bool plain = false;
  std::string output;
  std::string sign;
  std::string key;
  std::string privateKey;
  std::string publicKey;
  unsigned jobs = 0;  // 0: one per core
  InitOptions init;   // with init's output taken from `output`
};

// Fills `options` from `args` (args[0] is the program's name). Returns "" or what is wrong
// with the command line; after --help or --version the rest is not read and "" is returned.
std::string ParseUpdpackOptions(const std::vector<std::string>& args, UpdpackOptions* options);
