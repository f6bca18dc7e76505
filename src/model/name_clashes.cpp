#include "model/name_clashes.h"

#include <map>

#include "model/paths.h"

std::vector<Clash> FindNameClashes(const std::vector<NamedEntry>& entries, bool renamePrevious) {
  std::vector<Clash> clashes;
  std::map<std::string, size_t> anyTarget;       // name: the first entry with it
  std::map<std::string, size_t> selectedTarget;  // the same among the selected entries
  std::map<std::string, size_t> newFiles;        // a new version's name: the first entry's
  for (size_t k = 0; k < entries.size(); ++k) {
    for (const std::string& name : entries[k].names) {
      anyTarget.emplace(name, k);
      newFiles.emplace(NewFileName(name), k);
      if (!entries[k].selected) continue;
      size_t first = selectedTarget.emplace(name, k).first->second;
      if (first != k) {
        clashes.push_back({k, NameClash::sameTarget, first});
        clashes.push_back({first, NameClash::sameTarget, k});
      }
    }
  }
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].selected) continue;
    for (const std::string& name : entries[k].names) {
      if (!IsNewFileName(LastComponent(name))) continue;
      auto theirs = newFiles.find(name);
      size_t other = theirs != newFiles.end() && theirs->second != k ? theirs->second : k;
      clashes.push_back({k, NameClash::namedAsNewFile, other});
    }
  }
  if (!renamePrevious) return clashes;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].selected) continue;
    for (const std::string& name : entries[k].names) {
      std::string backup = BackupName(name);
      if (backup == name) clashes.push_back({k, NameClash::backupIsItself, k});
      auto other = anyTarget.find(backup);
      if (other != anyTarget.end() && other->second != k) {
        clashes.push_back({k, NameClash::backupIsTarget, other->second});
      }
      auto selectedOther = selectedTarget.find(backup);
      if (selectedOther != selectedTarget.end() && selectedOther->second != k) {
        clashes.push_back({selectedOther->second, NameClash::targetIsBackup, k});
      }
    }
  }
  return clashes;
}
