// AppState: the process-wide state of the updater. One instance lives from before
// start-up to exit; it owns the document and the open update file.
#pragma once

#include <memory>
#include <string>

#include "engine/update_log.h"
#include "model/document.h"
#include "platform/env.h"
#include "platform/file.h"

struct AppState {
  VEzorazEdo document;
  std::unique_ptr<CFile> updateFile;  // open for reading, no sharing, until exit
  char updateFilePath[260] = {};      // at most 259 characters
  void* instanceHandle = nullptr;
  char windowsDir[256] = {};
  char systemDir[256] = {};
  std::string productName;
  std::string failureMessage;
  char installDir[256] = {};
  bool runOk = true;
  bool updateNeeded = false;

  UpdateLog* log = nullptr;    // the main window's log list
  Env* env = &Env::Default();  // the OS, or a wrapper around it in tests
};
