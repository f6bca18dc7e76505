// CUpdateItem: one target file of the update, the unit the user selects. Owns its
// previous-version records; the new contents stay in the update file at payloadOffset.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_reader.h"
#include "model/entry_actions.h"
#include "model/file_stamp.h"
#include "model/limits.h"
#include "model/update_order.h"
#include "platform/file_info.h"
#include "platform/sha256.h"

// Base directory of a file entry's target path.
enum DirectoryKind : uint16_t {
  kindWindows = 0,
  kindSystem = 1,
  kindInstallation = 2,
  kindAbsolute = 3,
};

// Outcome of the last verification of an entry.
enum Verdict : uint16_t {
  verdictUpdate = 0,  // to be replaced, added or removed
  verdictUpToDate = 1,
  verdictNewer = 2,
  verdictAbsent = 3,  // a file to remove that is not there: nothing to do
  verdictKept = 4,    // a file to remove that is none of the versions listed: it stays
};

// The engine's result code (engine/update_error.h) and its view of a run.
enum UpdateError : uint16_t;
struct RunContext;
class VEzorazEdo;
struct Staging;
class TempFile;

class CUpdateItem : public CObject {
 public:
  static const ClassInfo kClass;

  const ClassInfo* GetRuntimeClass() const override { return &kClass; }
  // Reads the item record, sets `selected` from `defaultSelected`, reads the previous
  // versions and locates the new contents.
  void ReadFields(ArchiveReader& reader) override;

  // Sets `targetPath` from the directory kind, the directories of `run` and `fileName`.
  // A kind outside 0 to 3, a path longer than 255 characters, or a name or directory that
  // Windows would read as another (NameProblem) leaves `pathOk` false (the entry then fails
  // verification; `targetPath` only names it in the log).
  void FormPath(const RunContext& run);

  // Why the update's name of the file is refused (model/target_rules.h), "" when it is not.
  std::string NameProblem() const;

  // Fills `installedStamp` and opens the installed file exclusively for reading and
  // writing into `file`. Returns none, cannotWrite (opens for reading only) or
  // fileNotFound (also for a device's name, decided before anything is read); a kindSystem
  // entry falls back to installDir\system\fileName. The stamp, the paths tried and the
  // system's reason for a refused open go to the entry's outcome.
  UpdateError OpenInstalled(RunContext& run, std::unique_ptr<CFile>& file);

  // Compares `installedStamp` with the update's version and sets `verdict`; for an older
  // file, sets run.updateNeeded and looks for a previous version the open `installed` file
  // matches by stamp and samples. Returns none or previousVersionNotCompatible.
  UpdateError Judge(CFile& installed, CFile& updateFile, const VEzorazEdo& doc, RunContext& run);

  // The first pass's inspection again, of the same `targetPath` (no fallback), right before
  // the file is replaced: none when it is still a known previous version, or when it has
  // become current (`verdict` then says so); else the error the first pass would now give.
  UpdateError Recheck(CFile& updateFile, const VEzorazEdo& doc, RunContext& run);

  // The kindSystem fallback path, installDir\system\fileName, into `path`. False, storing
  // nothing, when it would exceed 255 characters.
  bool FallbackPath(const RunContext& run, std::string* path) const;

  // First pass of a run: forms the path and, for a selected entry, inspects the
  // installed file and sets `verdict`; samples are compared by the parameters of `doc`.
  // Raises what the file layer raises.
  UpdateError Verify(CFile& updateFile, const VEzorazEdo& doc, RunContext& run);

  // The first pass for an entry that adds its file: none when the target is not there (the
  // directory, or the nearest one that is, must take a new file) or is the new version
  // already; previousVersionNotCompatible when another file has the name, cannotWrite when
  // something else has it.
  UpdateError VerifyAdded(CFile& updateFile, const VEzorazEdo& doc, RunContext& run);

  // The second pass for an entry that removes its file: checks it again, then removes it, or
  // with the document's `renamePrevious` keeps it under its backup name.
  UpdateError RemoveInstalled(CFile& updateFile, const VEzorazEdo& doc, RunContext& run);

  // Adds the verdict line of a check. Returns none.
  UpdateError Report(RunContext& run);

  // The update pass's first step for an entry to replace or add: makes its new version next
  // to `targetPath` in `fresh` (an added file's missing directories too), checked against its
  // size and added to the staging's batch, to be flushed with the others; its digest is
  // checked here or, handed to the staging's thread, later. Changes no installed file.
  // Returns none, cantCreateFile, cannotRename (its own backup name), cannotCreateTemp or
  // cannotDecompress.
  UpdateError PrepareNewVersion(CFile& updateFile, const VEzorazEdo& doc, RunContext& run,
                                Staging& staging, TempFile& fresh);

  // Its last step, once `fresh` was flushed: puts the new version in the place of
  // `targetPath`, keeping the previous version under its backup name when the document's
  // `renamePrevious` is on. The installed file is checked again first (Recheck): a file that
  // changed since the first pass is not replaced. Never leaves a half-written target.
  UpdateError PlaceNewVersion(CFile& updateFile, const VEzorazEdo& doc, RunContext& run,
                              TempFile& fresh);

  // Both steps for this entry alone, its new version flushed on its own.
  UpdateError ReplaceFile(CFile& updateFile, const VEzorazEdo& doc, RunContext& run);

  // Read from the file.
  std::string componentName;
  std::string description;
  uint16_t defaultSelected = 0;
  std::string fileName;
  uint16_t unusedWord = 0;
  uint16_t directoryKind = 0;
  std::string directory;
  ObjectList<CUpdateOrder> previousVersions;
  CFileStamp expectedStamp;
  uint32_t payloadOffset = 0;
  uint32_t payloadLength = 0;

  // What the new contents must expand to, when the update file carries digests (an
  // integrity record after the document); set by the load.
  bool hasContentDigest = false;
  Sha256Digest contentDigest;
  // What the record's entry actions say (model/entry_actions.h); set by the load.
  EntryAction action = EntryAction::replace;
  bool exactMatch = false;  // versions are known by size and digest, not by samples

  // Run-time state (the small fields together: there is one item for every file).
  bool selected = false;
  bool pendingSelected = false;
  bool pathOk = false;
  uint16_t verdict = verdictUpdate;
  std::string targetPath;  // 255 characters at most
  CFileStamp installedStamp;
  FileChangeMark installedMark;  // with installedStamp: the file as it was when read
};
