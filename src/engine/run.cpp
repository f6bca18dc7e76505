// The check and update runs: a first pass that verifies every entry, and, for an update
// in which every selected entry passed, a second pass that replaces the older files.
// Each entry's outcome goes to the run's record as well as to the log.
#include "engine/run_context.h"
#include "engine/update_error.h"
#include "model/document.h"

UpdateError CUpdateItem::Verify(CFile& updateFile, const VEzorazEdo& doc, RunContext& run) {
  FormPath(run);
  if (!selected) return none;
  if (!pathOk) return fileNotFound;
  std::unique_ptr<CFile> installed;
  UpdateError rc = OpenInstalled(run, installed);
  if (rc != none) return rc;
  int c = installedStamp.CompareVersion(expectedStamp);
  if (run.current) run.current->inspected = true;
  if (c != 0) {
    verdict = static_cast<uint16_t>(c);
    if (run.current) run.current->verdict = verdict;
    return none;
  }
  run.updateNeeded = true;
  verdict = verdictUpdate;
  if (run.current) run.current->verdict = verdict;
  for (const auto& order : previousVersions) {
    if (order->Matches(*this, *installed, updateFile, doc) == none) return none;
  }
  return previousVersionNotCompatible;
}

UpdateError CUpdateItem::Report(RunContext& run) {
  if (!selected) {
    run.AddLine("%s will not be updated (User Selection)", targetPath);
  } else if (verdict == verdictUpdate) {
    run.AddLine("%s will be updated", targetPath);
  } else if (verdict == verdictUpToDate) {
    run.AddLine("%s is up to date", targetPath);
  } else {
    run.AddLine("%s is newer than the upd", targetPath);
  }
  return none;
}

UpdateError CUpdateItem::Apply(CFile& updateFile, const VEzorazEdo& doc, RunContext& run) {
  if (!selected) {
    run.AddLine("%s was not updated (User Selection)", targetPath);
    return none;
  }
  if (verdict != verdictUpdate) return Report(run);
  return ReplaceFile(updateFile, doc.renamePrevious, run);
}

namespace {

// The error line of an entry, in the log and in its outcome.
void Fail(RunContext& run, const CUpdateItem& item, UpdateError rc, int pass) {
  run.AddLine("%s error [%s]", item.targetPath, UpdateErrorMessage(rc));
  run.current->error = rc;
  run.current->errorPass = pass;
  run.runOk = false;
}

// Leaves `run.current` null however the pass ends, raised failures included.
struct CurrentEntry {
  explicit CurrentEntry(RunContext& run) : run_(run) {}
  ~CurrentEntry() { run_.current = nullptr; }
  RunContext& run_;
};

}  // namespace

void VEzorazEdo::Run(CFile& updateFile, bool doUpdate, RunContext& run) {
  run.record = RunRecord();
  run.record.doUpdate = doUpdate;
  run.log->Clear();
  EnsureLoaded(updateFile);
  run.record.entries.resize(items.size());
  // What a run that was killed may have left goes before this one starts.
  if (doUpdate) {
    for (auto& item : items) item->RemoveLeftovers(run);
  }
  CurrentEntry guard(run);
  for (size_t k = 0; k < items.size(); ++k) {
    CUpdateItem& item = *items[k];
    run.current = &run.record.entries[k];
    run.current->reached = true;
    run.current->selected = item.selected;
    UpdateError rc = item.Verify(updateFile, *this, run);
    if (rc != none) {
      Fail(run, item, rc, 1);
    } else if (!doUpdate) {
      item.Report(run);
    }
  }
  if (doUpdate && run.runOk) {
    for (size_t k = 0; k < items.size(); ++k) {
      CUpdateItem& item = *items[k];
      run.current = &run.record.entries[k];
      UpdateError rc = item.Apply(updateFile, *this, run);
      if (rc != none) {
        Fail(run, item, rc, 2);
        break;
      }
    }
  }
  run.record.finished = true;
}
