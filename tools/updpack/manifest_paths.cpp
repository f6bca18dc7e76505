#include "manifest_paths.h"

#include <algorithm>

#include "manifest_error.h"
#include "model/file_name.h"
#include "model/limits.h"
#include "model/name_clashes.h"
#include "model/paths.h"
#include "model/update_item.h"

namespace {

// The components of a directory, whichever separator the vendor used.
std::vector<std::string> Components(const std::string& directory) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : directory + "\\") {
    if (c != '\\' && c != '/') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  return parts;
}

void CheckComponents(const std::vector<std::string>& parts, const std::string& field) {
  for (const std::string& part : parts) {
    std::string problem = FileNameProblem(part);
    if (!problem.empty()) FailField(field, "\"" + part + "\" " + problem);
  }
}

// The file an entry names, as Windows compares it: its kind, its directory (for the kinds
// that have one) and `name`, letters folded.
std::string TargetKey(const ManifestFile& file, const std::string& name) {
  std::string path;
  if (file.directoryKind == kindInstallation || file.directoryKind == kindAbsolute) {
    for (const std::string& part : Components(file.directory)) path = JoinedPath(path, part);
  }
  return std::to_string(file.directoryKind) + "|" + FoldedName(JoinedPath(path, name));
}

}  // namespace

void CheckSubdirectory(const std::string& directory, const std::string& field) {
  if (!directory.empty() &&
      (directory[0] == '\\' || directory[0] == '/' || directory.find(':') != std::string::npos)) {
    FailField(field, "must be a subdirectory of the installation directory, not a full path");
  }
  std::vector<std::string> parts = Components(directory);
  for (const std::string& part : parts) {
    if (part == "..") FailField(field, "climbs out of the installation directory with \"..\"");
  }
  CheckComponents(parts, field);
}

void CheckAbsolute(const std::string& directory, const std::string& name,
                   const std::string& field) {
  char drive = directory.empty() ? 0 : static_cast<char>(directory[0] & ~0x20);
  bool onDrive = directory.size() >= 2 && drive >= 'A' && drive <= 'Z' && directory[1] == ':' &&
                 (directory.size() == 2 || directory[2] == '\\' || directory[2] == '/');
  bool onShare = directory.size() > 2 && directory[0] == '\\' && directory[1] == '\\';
  if (!onDrive && !onShare) {
    FailField(field, "must be a full directory such as C:\\DATA or \\\\SERVER\\SHARE");
  }
  if (directory.find(':', onDrive ? 2 : 0) != std::string::npos) {
    FailField(field, "names a stream (a \":\" after the drive), not a directory");
  }
  CheckComponents(Components(directory.substr(2)), field);
  if (JoinedPath(directory, name).size() > kMaxPathLength) {
    FailField(field, "with the file name, the path is longer than " +
                         std::to_string(kMaxPathLength) + " characters");
  }
}

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
    case NameClash::targetIsBackup:
      FailField(field, file.name + " is the backup name of " + other +
                           ": renaming previous versions would replace it");
    default:
      FailField(field, "its backup name " + BackupName(file.name) + " is the file of " + other +
                           ": renaming previous versions would replace it");
  }
}
