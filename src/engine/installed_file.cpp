// Inspection of installed files: where they are, whether they can be written, their
// stamps, and whether one is a known previous version of the update's file.
#include "engine/identity.h"
#include "engine/run_context.h"
#include "engine/sample_check.h"
#include "engine/update_error.h"
#include "model/document.h"
#include "model/file_name.h"
#include "model/paths.h"
#include "model/payload_order.h"
#include "model/target_rules.h"
#include "platform/file_info.h"

namespace {

void SetStamp(CFileStamp* stamp, const FileIdentity& identity) {
  stamp->size = identity.found ? identity.size : 0;
  stamp->modified = identity.found ? identity.modified : 0;
  stamp->versionMS = identity.versionMS;
  stamp->versionLS = identity.versionLS;
}

}  // namespace

bool CFileStamp::ReadFromFile(Env& env, const std::string& path) {
  FileIdentity identity = env.ReadFileIdentity(path, nullptr);
  SetStamp(this, identity);
  return identity.found;
}

int CFileStamp::CompareVersion(const CFileStamp& expected) const {
  int32_t mine = static_cast<int32_t>(versionMS);
  int32_t theirs = static_cast<int32_t>(expected.versionMS);
  if (mine == theirs) {
    mine = static_cast<int32_t>(versionLS);
    theirs = static_cast<int32_t>(expected.versionLS);
  }
  if (mine > theirs) return 2;
  if (mine < theirs) return 0;
  return 1;
}

std::string CUpdateItem::NameProblem() const {
  // A name Windows would read as another one could reach a file the update does not list.
  // A device's name is the inspection's to refuse, before any call to the OS.
  bool device =
      IsReservedDeviceName(fileName) && fileName.find_first_of("\\/") == std::string::npos;
  std::string problem = device ? std::string() : TargetNameProblem(fileName);
  if (!problem.empty()) return problem;
  return TargetDirectoryProblem(directoryKind, directory, fileName, TargetRules::run);
}

void CUpdateItem::FormPath(const RunContext& run) {
  std::string path;
  switch (directoryKind) {
    case kindWindows:
      path = run.windowsDir;
      break;
    case kindSystem:
      path = run.systemDir;
      break;
    case kindInstallation:
      path = JoinedPath(run.installDir, directory);
      break;
    case kindAbsolute:
      path = directory;
      break;
    default:
      // No base directory: the entry is named by its file name alone and fails.
      CopyPath(&targetPath, fileName);
      pathOk = false;
      return;
  }
  // Longer than 255 characters: the path is never cut to fit (a cut path could name
  // another file); a shortened copy only names the entry in the log.
  pathOk = CopyPath(&targetPath, JoinedPath(path, fileName)) && NameProblem().empty();
}

// Steps 2 and 3 of the inspection: the exclusive opens of the current targetPath. The
// system's reason for a refusal goes to `why`: the write open's behind cannotWrite, the
// read-only open's behind fileNotFound.
static UpdateError OpenExclusively(Env& env, const std::string& path, std::unique_ptr<CFile>& file,
                                   FileCause* why) {
  file = env.OpenExclusive(path, true, why);
  if (file) {
    *why = FileCause::none;
    return none;
  }
  FileCause writeCause = *why;
  if (env.OpenExclusive(path, false, why)) {
    *why = writeCause;
    return cannotWrite;
  }
  return fileNotFound;
}

bool CUpdateItem::FallbackPath(const RunContext& run, std::string* path) const {
  char fallback[kPathSize] = {};
  if (!CopyPath(fallback, run.installDir) || !JoinPath(fallback, "system") ||
      !JoinPath(fallback, fileName)) {
    return false;
  }
  *path = fallback;
  return true;
}

namespace {

// Notes the identity read of the item's file, `found` or not, in the item and `outcome`.
void NoteIdentity(CUpdateItem& item, const FileIdentity& identity, EntryOutcome& outcome) {
  SetStamp(&item.installedStamp, identity);
  item.installedMark = identity.mark;
  outcome.stampRead = identity.found;
  outcome.installed = item.installedStamp;
}

// Reads the stamp of the item's current targetPath and opens it (OpenExclusively), noting
// both in `outcome`. `again` (the re-check of the same path): the version read before stands
// while the file's mark shows it unchanged since; its size and samples are read again.
UpdateError OpenTarget(CUpdateItem& item, Env& env, std::unique_ptr<CFile>& file,
                       EntryOutcome& outcome, bool again) {
  FileIdentity before;
  before.found = again;
  before.versionMS = item.installedStamp.versionMS;
  before.versionLS = item.installedStamp.versionLS;
  before.mark = item.installedMark;
  FileIdentity identity;
  // Opened first, the file is read through the open handle, which no other program can
  // share: while its mark is the one the first pass read, nothing is read by name again.
  if (again && VersionMayStand(&before) &&
      OpenExclusively(env, item.targetPath, file, &outcome.openCause) == none &&
      file->ReadIdentity(&identity) && KeepEarlierVersion(&identity, &before)) {
    NoteIdentity(item, identity, outcome);
    return none;
  }
  file.reset();
  identity = env.ReadFileIdentity(item.targetPath, again ? &before : nullptr);
  UpdateError rc = OpenExclusively(env, item.targetPath, file, &outcome.openCause);
  NoteIdentity(item, identity, outcome);
  return rc;
}

}  // namespace

UpdateError CUpdateItem::OpenInstalled(RunContext& run, std::unique_ptr<CFile>& file) {
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  // Decided before any OS call: a device's name reaches no file, and asking a device for
  // a version or samples could wait forever. Windows takes '/' as a separator too.
  std::string path = targetPath;
  if (IsReservedDeviceName(path.substr(path.find_last_of("\\/") + 1))) {
    outcome.openCause = FileCause::invalidFile;
    return fileNotFound;
  }
  UpdateError rc = OpenTarget(*this, *run.env, file, outcome, false);
  if (rc != fileNotFound || directoryKind != kindSystem) return rc;
  std::string fallback;
  if (!FallbackPath(run, &fallback)) return fileNotFound;
  outcome.SetFirstPath(targetPath);
  outcome.firstCause = outcome.openCause;
  CopyPath(&targetPath, fallback);
  return OpenTarget(*this, *run.env, file, outcome, false);
}

UpdateError CUpdateItem::Judge(CFile& installed, CFile& updateFile, const VEzorazEdo& doc,
                               RunContext& run) {
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  outcome.inspected = true;
  outcome.matched = 0;
  // A file the update removes: one of the versions it lists goes, any other stays.
  if (action == EntryAction::remove) {
    verdict = verdictKept;
    for (size_t k = 0; k < previousVersions.size(); ++k) {
      if (previousVersions[k]->Matches(*this, installed, updateFile, doc) == none) {
        verdict = verdictUpdate;
        outcome.matched = static_cast<uint32_t>(k + 1);
        run.updateNeeded = true;
        break;
      }
    }
    outcome.verdict = verdict;
    return none;
  }
  // Files without a version resource are told apart by their bytes, when the update knows them.
  bool byIdentity =
      exactMatch && hasContentDigest && !IsVersioned(expectedStamp) && !IsVersioned(installedStamp);
  int c = byIdentity ? (HasIdentity(installed, expectedStamp.size, contentDigest) ? 1 : 0)
                     : installedStamp.CompareVersion(expectedStamp);
  verdict = static_cast<uint16_t>(c == 0 ? verdictUpdate : c);
  outcome.verdict = verdict;
  if (c != 0) return none;
  run.updateNeeded = true;
  for (size_t k = 0; k < previousVersions.size(); ++k) {
    if (previousVersions[k]->Matches(*this, installed, updateFile, doc) == none) {
      outcome.matched = static_cast<uint32_t>(k + 1);
      return none;
    }
  }
  return previousVersionNotCompatible;
}

UpdateError CUpdateItem::Recheck(CFile& updateFile, const VEzorazEdo& doc, RunContext& run) {
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  if (action == EntryAction::add) {
    // Still not there, or the new version meanwhile.
    if (run.env->InspectName(targetPath) == NameKind::missing) return none;
    UpdateError rc = VerifyAdded(updateFile, doc, run);
    if (rc != none) outcome.cause = EntryCause::changedSinceCheck;
    return rc;
  }
  std::unique_ptr<CFile> installed;
  UpdateError rc = OpenTarget(*this, *run.env, installed, outcome, true);
  if (rc == fileNotFound && action == EntryAction::remove &&
      outcome.openCause == FileCause::fileNotFound) {
    verdict = verdictAbsent;  // gone meanwhile: nothing left to do
    return none;
  }
  if (rc != none) return rc;
  rc = Judge(*installed, updateFile, doc, run);
  if (rc != none) outcome.cause = EntryCause::changedSinceCheck;
  return rc;
}

UpdateError MatchStamp(const CFileStamp& installed, const CFileStamp& candidate) {
  if (installed.versionMS != candidate.versionMS || installed.versionLS != candidate.versionLS) {
    return differentVersion;
  }
  if (installed.size != candidate.size) return differentSize;
  return none;
}

UpdateError CUpdateOrder::Matches(const CUpdateItem& item, CFile& installed, CFile&,
                                  const VEzorazEdo& doc) const {
  UpdateError rc = MatchStamp(item.installedStamp, stamp);
  if (rc != none) return rc;
  // A file the update removes is one of its listed versions only byte for byte.
  if ((item.exactMatch || item.action == EntryAction::remove) && digest) {
    return HasIdentity(installed, stamp.size, *digest) ? none : previousVersionNotCompatible;
  }
  return SampleCheck(installed, fingerprint, stamp.size, doc.sampleCount, doc.sampleLength);
}
