#include "manifest_paths.h"

#include <algorithm>

#include "manifest_error.h"
#include "model/file_name.h"
#include "model/limits.h"
#include "model/name_clashes.h"
#include "model/paths.h"
#include "model/target_rules.h"
#include "model/update_item.h"

namespace {

// The file an entry names, as Windows compares it: its kind, its directory (for the kinds
// that have one) and `name`, letters folded.
std::string TargetKey(const ManifestFile& file, const std::string& name) {
  std::string path;
  if (file.directoryKind == kindInstallation || file.directoryKind == kindAbsolute) {
    for (const std::string& part : PathComponents(file.directory)) path = JoinedPath(path, part);
  }
  return std::to_string(file.directoryKind) + "|" + FoldedName(JoinedPath(path, name));
}

}  // namespace

// Two entries for one file, or one entry's file at another's backup name: with "Rename
// previous versions" on, one replacement would destroy the other's file or backup. Reported
// at the first entry that clashes with an earlier one, as a vendor reads the manifest: the
// same file first, then its file as an earlier backup name, then its backup name as an
// earlier file, naming the latest such entry. A name ending in '_' is fine when renaming is
// off, so it is not refused here.
void CheckTargets(const std::vector<ManifestFile>& files) {
  std::vector<NamedEntry> named(files.size());
  for (size_t i = 0; i < files.size(); ++i) named[i].names = {TargetKey(files[i], files[i].name)};
  const Clash* first = nullptr;
  size_t firstLater = 0;
  const std::vector<Clash> clashes = FindNameClashes(named, true);
  for (const Clash& clash : clashes) {
    if (clash.cause == NameClash::backupIsItself) continue;
    // From the later entry's side: the earlier one's target or backup name it meets.
    size_t later = std::max(clash.entry, clash.other);
    if (clash.entry != later) continue;
    auto rank = [](NameClash cause) {
      return cause == NameClash::sameTarget ? 0 : cause == NameClash::targetIsBackup ? 1 : 2;
    };
    if (!first || later < firstLater ||
        (later == firstLater &&
         (rank(clash.cause) < rank(first->cause) ||
          (rank(clash.cause) == rank(first->cause) && clash.other > first->other)))) {
      first = &clash;
      firstLater = later;
    }
  }
  if (!first) return;
  const ManifestFile& file = files[first->entry];
  std::string field = "files[" + std::to_string(first->entry) + "].name";
  std::string other = "files[" + std::to_string(first->other) + "]";
  switch (first->cause) {
    case NameClash::sameTarget:
      FailField(field, file.name + " is the file of " + other + " too; list each file once");
    case NameClash::namedAsNewFile:
      FailField(field, file.name +
                           " ends in ~UPD, the name the updater gives a new version while it "
                           "makes it: give the file another name");
    case NameClash::targetIsBackup:
      FailField(field, file.name + " is the backup name of " + other +
                           ": renaming previous versions would replace it");
    default:
      FailField(field, "its backup name " + BackupName(file.name) + " is the file of " + other +
                           ": renaming previous versions would replace it");
  }
}
