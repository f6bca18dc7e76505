// The check and update runs: a first pass that verifies every entry, and, for an update
// in which every selected entry passed, a second pass that replaces the older files.
#include "app/app_state.h"
#include "model/document.h"

UpdateError CUpdateItem::Verify(CFile& updateFile, AppState& app) {
  FormPath(app);
  if (!selected) return none;
  if (!pathOk) return fileNotFound;
  std::unique_ptr<CFile> installed;
  UpdateError rc = OpenInstalled(app, installed);
  if (rc != none) return rc;
  int c = installedStamp.CompareVersion(expectedStamp);
  if (c != 0) {
    verdict = static_cast<uint16_t>(c);
    return none;
  }
  app.updateNeeded = true;
  verdict = verdictUpdate;
  for (const auto& order : previousVersions) {
    if (order->Matches(*this, *installed, updateFile, app.document) == none) return none;
  }
  return previousVersionNotCompatible;
}

UpdateError CUpdateItem::Report(AppState& app) {
  if (!selected) {
    app.log->AddLine("%s will not be updated (User Selection)", targetPath);
  } else if (verdict == verdictUpdate) {
    app.log->AddLine("%s will be updated", targetPath);
  } else if (verdict == verdictUpToDate) {
    app.log->AddLine("%s is up to date", targetPath);
  } else {
    app.log->AddLine("%s is newer than the upd", targetPath);
  }
  return none;
}

UpdateError CUpdateItem::Apply(CFile& updateFile, AppState& app) {
  if (!selected) {
    app.log->AddLine("%s was not updated (User Selection)", targetPath);
    return none;
  }
  if (verdict != verdictUpdate) return Report(app);
  return ReplaceFile(updateFile, app);
}

void VEzorazEdo::Run(CFile& updateFile, bool doUpdate, AppState& app) {
  app.log->Clear();
  EnsureLoaded(updateFile);
  for (const auto& item : items) {
    UpdateError rc = item->Verify(updateFile, app);
    if (rc != none) {
      app.log->AddLine("%s error [%s]", item->targetPath, UpdateErrorMessage(rc));
      app.runOk = false;
    } else if (!doUpdate) {
      item->Report(app);
    }
  }
  if (!doUpdate || !app.runOk) return;
  for (const auto& item : items) {
    UpdateError rc = item->Apply(updateFile, app);
    if (rc != none) {
      app.log->AddLine("%s error [%s]", item->targetPath, UpdateErrorMessage(rc));
      app.runOk = false;
      return;
    }
  }
}
