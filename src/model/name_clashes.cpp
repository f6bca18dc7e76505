#include "model/name_clashes.h"

#include <algorithm>

#include "model/paths.h"

namespace {

// One name of one entry, in a list sorted by name, then by entry: the first of a run of
// equal names is the first entry that has it. Points into the entries, copies no name.
struct NameAt {
  const std::string* name;
  size_t entry;
};

bool Before(const NameAt& a, const NameAt& b) {
  int order = a.name->compare(*b.name);
  return order != 0 ? order < 0 : a.entry < b.entry;
}

// The names of `entries` (the selected ones only, when `selectedOnly`), sorted.
std::vector<NameAt> SortedNames(const std::vector<NamedEntry>& entries, bool selectedOnly) {
  std::vector<NameAt> names;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (selectedOnly && !entries[k].selected) continue;
    for (const std::string& name : entries[k].names) names.push_back({&name, k});
  }
  std::sort(names.begin(), names.end(), Before);
  return names;
}

// The first entry in `names` with `name`, or `none`.
size_t FirstWith(const std::vector<NameAt>& names, const std::string& name, size_t none) {
  auto at = std::lower_bound(names.begin(), names.end(), name,
                             [](const NameAt& a, const std::string& b) { return *a.name < b; });
  return at != names.end() && *at->name == name ? at->entry : none;
}

// The name of every entry's new version while it is made, kept in `storage`, sorted.
std::vector<NameAt> SortedNewFileNames(const std::vector<NamedEntry>& entries,
                                       std::vector<std::string>* storage) {
  size_t count = 0;
  for (const NamedEntry& entry : entries) count += entry.names.size();
  storage->reserve(count);  // the list points into it
  std::vector<NameAt> names;
  for (size_t k = 0; k < entries.size(); ++k) {
    for (const std::string& name : entries[k].names) {
      storage->push_back(NewFileName(name));
      names.push_back({&storage->back(), k});
    }
  }
  std::sort(names.begin(), names.end(), Before);
  return names;
}

}  // namespace

std::vector<Clash> FindNameClashes(const std::vector<NamedEntry>& entries, bool renamePrevious) {
  std::vector<Clash> clashes;
  const size_t none = entries.size();
  const std::vector<NameAt> selected = SortedNames(entries, true);
  // Each name of a selected entry that an earlier selected entry has too, met as the later
  // entry comes: in the order of the later entry, then of its names.
  std::vector<std::pair<NameAt, size_t>> shared;  // the later, the first
  for (size_t k = 1; k < selected.size(); ++k) {
    size_t first = k;
    while (first > 0 && *selected[first - 1].name == *selected[k].name) --first;
    if (selected[first].entry != selected[k].entry) {
      shared.push_back({selected[k], selected[first].entry});
    }
  }
  std::stable_sort(shared.begin(), shared.end(), [](const auto& a, const auto& b) {
    return a.first.entry != b.first.entry ? a.first.entry < b.first.entry
                                          : a.first.name < b.first.name;
  });
  for (const auto& pair : shared) {
    clashes.push_back({pair.first.entry, NameClash::sameTarget, pair.second});
    clashes.push_back({pair.second, NameClash::sameTarget, pair.first.entry});
  }
  // The new versions' names are made only when some selected name looks like one.
  std::vector<std::string> newNames;
  std::vector<NameAt> newFiles;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].selected) continue;
    for (const std::string& name : entries[k].names) {
      if (!IsNewFileName(LastComponent(name))) continue;
      if (newFiles.empty()) newFiles = SortedNewFileNames(entries, &newNames);
      size_t theirs = FirstWith(newFiles, name, none);
      clashes.push_back({k, NameClash::namedAsNewFile, theirs != none && theirs != k ? theirs : k});
    }
  }
  if (!renamePrevious) return clashes;
  const std::vector<NameAt> any = SortedNames(entries, false);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].selected) continue;
    for (const std::string& name : entries[k].names) {
      std::string backup = BackupName(name);
      if (backup == name) clashes.push_back({k, NameClash::backupIsItself, k});
      size_t other = FirstWith(any, backup, none);
      if (other != none && other != k) clashes.push_back({k, NameClash::backupIsTarget, other});
      size_t selectedOther = FirstWith(selected, backup, none);
      if (selectedOther != none && selectedOther != k) {
        clashes.push_back({selectedOther, NameClash::targetIsBackup, k});
      }
    }
  }
  return clashes;
}
