// AppState: the process-wide state of the updater. One instance lives from before
// start-up to exit; it owns the document and the open update file, and is the engine's
// view of every run the window or vareri-cli starts (RunContext: directories, flags, log,
// Env), admitting a run only with the signature its targets require.
#pragma once

#include <memory>
#include <string>

#include "engine/run_context.h"
#include "model/document.h"
#include "model/limits.h"
#include "platform/file.h"
#include "platform/trust_store.h"

struct AppState : RunContext {
  VEzorazEdo document;
  std::unique_ptr<CFile> updateFile;              // open for reading, no sharing, until exit
  char updateFilePath[kUpdateFilePathSize] = {};  // at most 259 characters
  void* instanceHandle = nullptr;
  std::string productName;
  std::string failureMessage;

  TrustStoreLocation trustStore;  // natively the trust file ("": none); Windows: the registry
  TrustRequirement givenKey;      // a key the user named (vareri-cli --key): one requirement more

  // Decides which key the run needs by what it would change (DecideTrust).
  void AdmitRun(VEzorazEdo& document) override;
};
