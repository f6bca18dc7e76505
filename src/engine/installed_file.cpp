// Inspection of installed files: where they are, whether they can be written, their
// stamps, and whether one is a known previous version of the update's file.
#include "engine/paths.h"
#include "engine/payload_order.h"
#include "engine/run_context.h"
#include "engine/sample_check.h"
#include "engine/update_error.h"
#include "model/document.h"
#include "model/file_name.h"

void CFileStamp::ReadFromFile(Env& env, const std::string& path) {
  FileIdentity identity = env.ReadFileIdentity(path);
  size = identity.found ? identity.size : 0;
  modified = identity.found ? identity.modified : 0;
  versionMS = identity.versionMS;
  versionLS = identity.versionLS;
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
      CopyPath(targetPath, fileName);
      pathOk = false;
      return;
  }
  // Longer than 255 characters: the path is never cut to fit (a cut path could name
  // another file); a shortened copy only names the entry in the log.
  pathOk = CopyPath(targetPath, JoinedPath(path, fileName));
}

// Steps 2 and 3 of the inspection: the exclusive opens of the current targetPath. The
// system's reason for a refusal goes to `why`: the write open's behind cannotWrite, the
// read-only open's behind fileNotFound.
static UpdateError OpenExclusively(Env& env, const char* path, std::unique_ptr<CFile>& file,
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

UpdateError CUpdateItem::OpenInstalled(RunContext& run, std::unique_ptr<CFile>& file) {
  FileCause unrecorded = FileCause::none;
  FileCause& why = run.current ? run.current->openCause : unrecorded;
  // Decided before any OS call: a device's name reaches no file, and asking a device for
  // a version or samples could wait forever. Windows takes '/' as a separator too.
  std::string path = targetPath;
  if (IsReservedDeviceName(path.substr(path.find_last_of("\\/") + 1))) {
    why = FileCause::invalidFile;
    return fileNotFound;
  }
  installedStamp.ReadFromFile(*run.env, targetPath);
  UpdateError rc = OpenExclusively(*run.env, targetPath, file, &why);
  if (rc != fileNotFound || directoryKind != kindSystem) return rc;
  std::string fallback;
  if (!FallbackPath(run, &fallback)) return fileNotFound;
  CopyPath(targetPath, fallback);
  installedStamp.ReadFromFile(*run.env, targetPath);
  return OpenExclusively(*run.env, targetPath, file, &why);
}

UpdateError MatchStamp(const CFileStamp& installed, const CFileStamp& candidate) {
  if (installed.versionMS != candidate.versionMS || installed.versionLS != candidate.versionLS) {
    return differentVersion;
  }
  if (installed.size != candidate.size) return differentSize;
  return none;
}

UpdateError CUpdateOrder::Matches(const CUpdateItem& item, CFile& installed, CFile& updateFile,
                                  const VEzorazEdo& doc) const {
  UpdateError rc = MatchStamp(item.installedStamp, stamp);
  if (rc != none) return rc;
  return SampleCheck(installed, updateFile, fingerprintOffset, stamp.size, doc.sampleCount,
                     doc.sampleLength);
}
