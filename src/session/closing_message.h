// The closing message of a run, as the main window shows it and vareri-cli prints it.
#pragma once

#include <string>

struct ClosingMessage {
  std::string text;
  bool stop = false;     // the stop icon; else the exclamation icon
  bool updated = false;  // a successful update: the window keeps only Close
};

// The text and icon for a run that returned with `runOk` and `updateNeeded` (misspellings
// included, as the program has always shown them): updated, can be updated, up to date,
// the update file's own failure message, or cannot be updated.
ClosingMessage MakeClosingMessage(const std::string& productName, const std::string& failureMessage,
                                  bool doUpdate, bool runOk, bool updateNeeded);
