#include "entry_json.h"

#include "engine/update_error.h"
#include "json_text.h"
#include "model/paths.h"

namespace {

// The verdict of an entry without an error, as --json names it.
const char* VerdictName(const EntryOutcome& outcome) {
  if (!outcome.selected) return "notSelected";
  switch (outcome.verdict) {
    case verdictUpToDate:
      return "upToDate";
    case verdictNewer:
      return "newer";
    case verdictAbsent:
      return "absent";
    case verdictKept:
      return "kept";
    default:
      return "update";
  }
}

// The system's reason an installed file would not open, as --json names it.
const char* OpenReasonName(FileCause cause) {
  switch (cause) {
    case FileCause::fileNotFound:
    case FileCause::badPath:
      return "missing";
    case FileCause::sharingViolation:
    case FileCause::lockViolation:
      return "inUse";
    case FileCause::accessDenied:
      return "accessDenied";
    case FileCause::invalidFile:
      return "notAFile";
    case FileCause::linkLoop:
      return "linkLoop";
    default:
      return "other";
  }
}

const char* CauseName(EntryCause cause) {
  switch (cause) {
    case EntryCause::sameTarget:
      return "sameTarget";
    case EntryCause::targetIsBackup:
      return "targetIsBackup";
    case EntryCause::backupIsTarget:
      return "backupIsTarget";
    case EntryCause::backupIsItself:
      return "backupIsItself";
    case EntryCause::directoryRefused:
      return "directoryNotWritable";
    case EntryCause::changedSinceCheck:
      return "changedSinceCheck";
    case EntryCause::namedAsNewFile:
      return "namedAsNewFile";
    case EntryCause::badName:
      return "badName";
    case EntryCause::newFileTaken:
      return "newFileTaken";
    case EntryCause::backupTaken:
      return "backupTaken";
    case EntryCause::diskFull:
      return "diskFull";
    default:
      return "";
  }
}

// {"path":...,"reason":...}, the reason left out when the open succeeded.
std::string TriedJson(const std::string& path, FileCause cause) {
  JsonObject tried;
  tried.Add("path", path);
  if (cause != FileCause::none) tried.Add("reason", OpenReasonName(cause));
  return tried.Text();
}

}  // namespace

std::string StampJson(const CFileStamp& stamp) {
  JsonObject object;
  object.Add("version", stamp.VersionText()).Add("size", static_cast<long>(stamp.size));
  return object.Text();
}

// The previous version an installed file was found to be: its place in the list, stamp, and
// SHA-256 when it was matched by its bytes.
std::string MatchedJson(const CUpdateItem& item, size_t matched) {
  const CUpdateOrder& order = *item.previousVersions[matched - 1];
  JsonObject object;
  object.Add("index", static_cast<long>(matched))
      .Add("version", order.stamp.VersionText())
      .Add("size", static_cast<long>(order.stamp.size));
  if ((item.exactMatch || item.action == EntryAction::remove) && order.digest) {
    object.Add("sha256", order.digest->Hex());
  }
  return object.Text();
}

std::string AcceptedJson(const CUpdateItem& item) {
  std::string list = "[";
  for (const auto& order : item.previousVersions) {
    if (list.size() > 1) list += ',';
    list += StampJson(order->stamp);
  }
  return list + "]";
}

std::string EntryJson(const CUpdateItem& item, size_t index, const EntryOutcome& outcome,
                      bool doUpdate) {
  JsonObject entry;
  entry.Add("type", "entry")
      .Add("index", static_cast<long>(index))
      .Add("component", item.componentName)
      .Add("file", item.fileName)
      .Add("path", item.targetPath)
      .Add("action", ActionName(item.action))
      .Add("selected", item.selected);
  if (outcome.error != none) {
    entry.AddNull("verdict")
        .Add("error", UpdateErrorName(outcome.error))
        .Add("code", static_cast<int>(outcome.error))
        .Add("message", UpdateErrorMessage(outcome.error));
    if (outcome.cause != EntryCause::none) {
      entry.Add("reason", CauseName(outcome.cause));
      if (outcome.collidesWith) entry.Add("collidesWith", static_cast<long>(outcome.collidesWith));
    } else if (outcome.openCause != FileCause::none) {
      entry.Add("reason", OpenReasonName(outcome.openCause));
    } else if (outcome.error == previousVersionNotCompatible) {
      // Told apart from a file that changed after its check: no retry mends this one.
      entry.Add("reason", "notCompatible");
    } else {
      // Every failed entry has a reason: here, nothing known beyond the error.
      entry.Add("reason", "other");
    }
  } else if (!outcome.reached) {
    entry.AddNull("verdict");
  } else {
    entry.Add("verdict", VerdictName(outcome));
  }
  if (outcome.stampRead) {
    entry.AddRaw("installed", StampJson(outcome.installed));
  } else {
    entry.AddNull("installed");
  }
  entry.AddRaw("new", StampJson(item.expectedStamp));
  if (outcome.matched > 0 && outcome.matched <= item.previousVersions.size()) {
    entry.AddRaw("matched", MatchedJson(item, outcome.matched));
  }
  if (outcome.error == previousVersionNotCompatible) entry.AddRaw("accepts", AcceptedJson(item));
  if (!outcome.FirstPath().empty()) {
    entry.AddRaw("tried", "[" + TriedJson(outcome.FirstPath(), outcome.firstCause) + "," +
                              TriedJson(item.targetPath, outcome.openCause) + "]");
  }
  if (doUpdate) entry.Add("updated", outcome.replaced);
  if (!outcome.Backup().empty()) entry.Add("backup", LastComponent(outcome.Backup()));
  entry.AddRaw("lines", JsonStringArray(outcome.Lines()));
  return entry.Text();
}

std::string EntryCauseText(const EntryOutcome& outcome) {
  std::string other = "entry " + std::to_string(outcome.collidesWith);
  switch (outcome.cause) {
    case EntryCause::sameTarget:
      return other + " names the same file";
    case EntryCause::targetIsBackup:
      return "it is the backup name of " + other + "; update without --backup";
    case EntryCause::backupIsTarget:
      return "its backup name is the file of " + other + "; update without --backup";
    case EntryCause::backupIsItself:
      return "its name ends in '_', so it would be its own backup; update without --backup";
    case EntryCause::directoryRefused:
      return "no new file can be made in its directory, and the update makes one next to "
             "each file it replaces; allow it, or run as a user who may write there";
    case EntryCause::changedSinceCheck:
      return "it changed after it was checked; run the update again";
    case EntryCause::namedAsNewFile:
      return "its name ends in ~UPD, the name a new version has while it is made, so a run "
             "that was ended could leave a file of that name; the update cannot list it";
    case EntryCause::badName:
      return "the update names it in a way Windows reads as another name (" + outcome.Detail() +
             "); get a mended update file";
    case EntryCause::newFileTaken:
      return "a file of the name its new version is made under is there, and it is not one "
             "this program left: remove or rename it";
    case EntryCause::backupTaken:
      return "its backup name is a directory or a read-only file; remove it, or update "
             "without --backup";
    case EntryCause::diskFull:
      return "its disk has no room for the new files: " + outcome.Detail() +
             " more are needed; free some space and run the update again";
    default:
      if (outcome.openCause == FileCause::linkLoop) {
        return "its name is a loop of symbolic links, not a file";
      }
      return std::string();
  }
}
