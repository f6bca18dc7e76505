// The entries that add a file or remove one: their first pass, and the removal. An added file
// is made by ReplaceFile like a new version, under a name nothing has yet.
#include "engine/identity.h"
#include "engine/replace.h"
#include "engine/replacement_names.h"
#include "engine/run_context.h"
#include "model/document.h"
#include "model/paths.h"

namespace {

// The directory a file added at `target` goes into when it is there, else the nearest of its
// parents that is: where the update makes the missing ones. "" when none is.
std::string NearestDirectory(Env& env, const std::string& target) {
  for (std::string directory = DirectoryOf(target); !directory.empty();
       directory = DirectoryOf(DirectoryAsName(directory))) {
    NameKind kind = env.InspectName(DirectoryAsName(directory));
    if (kind == NameKind::directory) return directory;
    if (kind != NameKind::missing || DirectoryAsName(directory) == directory) return std::string();
  }
  return std::string();
}

}  // namespace

UpdateError CUpdateItem::VerifyAdded(CFile& updateFile, const VEzorazEdo& doc, RunContext& run) {
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  Env& env = *run.env;
  outcome.inspected = true;
  NameKind kind = env.InspectName(targetPath);
  if (kind == NameKind::file || kind == NameKind::readOnlyFile) {
    // There already: the new version itself is up to date; any other file is in the way.
    std::unique_ptr<CFile> file = env.OpenExclusive(targetPath, false, &outcome.openCause);
    if (!file) return fileNotFound;
    outcome.stampRead = installedStamp.ReadFromFile(env, targetPath);
    outcome.installed = installedStamp;
    bool same = hasContentDigest && HasIdentity(*file, expectedStamp.size, contentDigest);
    verdict = same ? verdictUpToDate : verdictUpdate;
    outcome.verdict = verdict;
    if (same) return none;
    run.updateNeeded = true;
    return previousVersionNotCompatible;
  }
  verdict = verdictUpdate;
  outcome.verdict = verdict;
  run.updateNeeded = true;
  if (kind != NameKind::missing) {
    outcome.openCause = FileCause::invalidFile;
    return cannotWrite;
  }
  std::string directory = NearestDirectory(env, targetPath);
  if (directory.empty() || !CanMakeNewFileNextTo(run, directory + LastComponent(targetPath))) {
    outcome.cause = EntryCause::directoryRefused;
    return cannotWrite;
  }
  return CheckReplacementNames(*this, updateFile, doc, run);
}

UpdateError CUpdateItem::RemoveInstalled(CFile& updateFile, const VEzorazEdo& doc,
                                         RunContext& run) {
  Env& env = *run.env;
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  // As late as possible, it must still be a version the update removes.
  UpdateError rc = Recheck(updateFile, doc, run);
  if (rc != none) return rc;
  if (verdict != verdictUpdate) return Report(run);
  std::string backup;
  if (doc.renamePrevious) {
    backup = BackupName(targetPath);
    if (backup == targetPath) return cannotRename;
    // An earlier backup goes; one that cannot makes the rename fail.
    env.RemoveFile(backup);
    if (!env.RenameFile(targetPath, backup)) return cannotRename;
    run.AddLine("%s renamed to %s", targetPath.c_str(), LastComponent(backup).c_str());
    outcome.SetBackup(backup);
  } else if (!env.RemoveFile(targetPath)) {
    return cannotWrite;
  }
  run.replacedDirectories.insert(DirectoryOf(targetPath));
  outcome.replaced = true;
  run.AddLine("Removed File %s", targetPath.c_str());
  return none;
}
