// The check and update runs: a first pass that verifies every entry, and, for an update
// in which every selected entry passed, a second pass that replaces the older files.
// Each entry's outcome goes to the run's record as well as to the log.
#include <string>
#include <vector>

#include "engine/replace.h"
#include "engine/replacement_names.h"
#include "engine/run_context.h"
#include "engine/run_steps.h"
#include "engine/update_error.h"
#include "model/document.h"
#include "model/file_name.h"
#include "model/name_clashes.h"
#include "model/paths.h"

UpdateError CUpdateItem::Verify(CFile& updateFile, const VEzorazEdo& doc, RunContext& run) {
  FormPath(run);
  if (!selected) return none;
  if (!pathOk) {
    std::string problem = run.current ? NameProblem() : std::string();
    if (!problem.empty()) {
      run.current->cause = EntryCause::badName;
      run.current->SetDetail(problem);
      run.current->openCause = FileCause::invalidFile;  // no file is opened under it
    }
    return fileNotFound;
  }
  if (action == EntryAction::add) return VerifyAdded(updateFile, doc, run);
  std::unique_ptr<CFile> installed;
  UpdateError rc = OpenInstalled(run, installed);
  if (rc == fileNotFound && action == EntryAction::remove && run.current &&
      run.current->openCause == FileCause::fileNotFound) {
    // Not there: nothing to remove.
    verdict = verdictAbsent;
    run.current->inspected = true;
    run.current->verdict = verdict;
    return none;
  }
  if (rc != none) return rc;
  rc = Judge(*installed, updateFile, doc, run);
  if (rc != none || verdict != verdictUpdate) return rc;
  // The replacement makes its new file next to this one (and keeps the backup there): a
  // directory that takes no new file would fail it after earlier files were replaced.
  if (!CanMakeNewFileNextTo(run, targetPath)) {
    if (run.current) run.current->cause = EntryCause::directoryRefused;
    return cannotWrite;
  }
  return CheckReplacementNames(*this, updateFile, doc, run);
}

UpdateError CUpdateItem::Report(RunContext& run) {
  if (!selected) {
    run.AddLine("%s will not be updated (User Selection)", targetPath.c_str());
  } else if (verdict == verdictUpdate) {
    const char* what = action == EntryAction::add      ? "%s will be added"
                       : action == EntryAction::remove ? "%s will be removed"
                                                       : "%s will be updated";
    run.AddLine(what, targetPath.c_str());
  } else if (verdict == verdictAbsent) {
    run.AddLine("%s is not there: nothing to remove", targetPath.c_str());
  } else if (verdict == verdictKept) {
    run.AddLine("%s is not a version this update removes: it is kept", targetPath.c_str());
  } else if (verdict == verdictUpToDate) {
    run.AddLine("%s is up to date", targetPath.c_str());
  } else {
    run.AddLine("%s is newer than the upd", targetPath.c_str());
  }
  return none;
}

namespace {

// Leaves `run.current` null however the pass ends, raised failures included.
struct CurrentEntry {
  explicit CurrentEntry(RunContext& run) : run_(run) {}
  ~CurrentEntry() { run_.current = nullptr; }
  RunContext& run_;
};

// The names an entry's file may have: its target, and for a kindSystem entry the fallback too.
// Folded, as Windows compares names. Needs FormPath.
NamedEntry NamesOf(const CUpdateItem& item, const RunContext& run) {
  NamedEntry named;
  named.selected = item.selected;
  if (!item.pathOk) return named;
  named.names.push_back(FoldedName(item.targetPath));
  std::string fallback;
  if (item.directoryKind == kindSystem && item.FallbackPath(run, &fallback)) {
    named.names.push_back(FoldedName(fallback));
  }
  return named;
}

EntryCause CauseOf(NameClash clash) {
  switch (clash) {
    case NameClash::sameTarget:
      return EntryCause::sameTarget;
    case NameClash::targetIsBackup:
      return EntryCause::targetIsBackup;
    case NameClash::backupIsTarget:
      return EntryCause::backupIsTarget;
    case NameClash::backupIsItself:
      return EntryCause::backupIsItself;
    case NameClash::namedAsNewFile:
      return EntryCause::namedAsNewFile;
    case NameClash::none:
      break;
  }
  return EntryCause::none;
}

// Marks every selected entry whose file another entry of this run names too: as its own
// target, or (renaming on) as its backup name, which would take that file's place. Such
// an update would replace one file twice, or delete an installed file to keep a backup.
void FindNameCollisions(const ObjectList<CUpdateItem>& items, bool renamePrevious,
                        const RunContext& run, std::vector<EntryOutcome>& outcomes) {
  std::vector<NamedEntry> named;
  named.reserve(items.size());
  for (const auto& item : items) named.push_back(NamesOf(*item, run));
  for (const Clash& clash : FindNameClashes(named, renamePrevious)) {
    EntryOutcome& outcome = outcomes[clash.entry];
    if (outcome.cause != EntryCause::none) continue;  // an entry's first clash is its cause
    outcome.cause = CauseOf(clash.cause);
    outcome.collidesWith = static_cast<uint32_t>(clash.other + 1);
  }
}

}  // namespace

void FailEntry(RunContext& run, const CUpdateItem& item, UpdateError rc, int pass) {
  run.AddLine("%s error [%s]", item.targetPath.c_str(), UpdateErrorMessage(rc));
  run.current->error = rc;
  run.current->errorPass = pass;
  run.runOk = false;
}

bool StopAsked(RunContext& run) {
  if (run.betweenEntries) run.betweenEntries();
  if (!run.stopRequested || !run.stopRequested->load()) return false;
  run.record.cancelled = true;
  run.runOk = false;
  return true;
}

void Passed(RunContext& run, int pass, size_t index) {
  if (run.entryPassed) run.entryPassed(pass, index);
}

void VEzorazEdo::Run(CFile& updateFile, bool doUpdate, RunContext& run) {
  run.record = RunRecord();
  run.record.doUpdate = doUpdate;
  run.writableDirectories.clear();
  run.replacedDirectories.clear();
  run.log->Clear();
  EnsureLoaded(updateFile);
  run.record.entries.resize(items.size());
  for (auto& item : items) item->FormPath(run);
  FindNameCollisions(items, renamePrevious, run, run.record.entries);
  run.AdmitRun(*this);
  // One update at a time changes an installation: held until this run has ended.
  std::vector<std::unique_ptr<DirectoryLock>> locks;
  if (doUpdate) locks = LockWrittenDirectories(*this, run);
  CurrentEntry guard(run);
  FinalEntries settled(run);
  for (size_t k = 0; k < items.size(); ++k) {
    if (StopAsked(run)) break;
    CUpdateItem& item = *items[k];
    run.current = &run.record.entries[k];
    run.current->reached = true;
    run.current->selected = item.selected;
    // A name taken twice is refused before anything is opened.
    UpdateError rc = run.current->cause != EntryCause::none
                         ? (renamePrevious ? cannotRename : fileNotFound)
                         : item.Verify(updateFile, *this, run);
    if (rc != none) {
      FailEntry(run, item, rc, 1);
    } else if (!doUpdate) {
      item.Report(run);
    }
    // Once an error is found, no second pass comes: what the check found is final.
    if (!doUpdate || !run.runOk) settled.UpTo(k + 1);
    Passed(run, 1, k);
  }
  if (doUpdate && run.runOk) CheckFreeSpace(*this, run);
  // What an ended run left is removed once the first pass found that this one may go on, and
  // only what the first pass recognised as its own.
  for (size_t k = 0; doUpdate && run.runOk && k < items.size(); ++k) {
    CUpdateItem& item = *items[k];
    run.current = &run.record.entries[k];
    if (run.current->leftover && !run.env->RemoveFile(NewFileName(item.targetPath))) {
      run.current->cause = EntryCause::newFileTaken;
      FailEntry(run, item, cannotWrite, 1);
    }
  }
  if (doUpdate && run.runOk) RunUpdatePass(updateFile, *this, run, settled);
  run.current = nullptr;
  settled.UpTo(items.size());
  run.record.finished = true;
}
