// Names taken twice by one update: two entries for one file, or one entry's file where
// another's backup name would go. Replacing both would replace one file twice, or delete an
// installed file to keep a backup. The updater refuses such entries before it opens anything;
// updpack refuses to build them. This is the one rule both apply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class NameClash : uint8_t {
  none,
  sameTarget,      // another entry names the same file
  targetIsBackup,  // the file is the backup name of another entry
  backupIsTarget,  // its backup name is the file of another entry: keeping the previous
                   // version would delete that file
  backupIsItself,  // its name ends in '_': it is its own backup name
  namedAsNewFile,  // its name ends in "~UPD", the name a new version has while it is made: the
                   // clean-up after a run that was ended could take it for a leftover
};

// The names one entry's file may have, each as Windows compares names (FoldedName): its
// target, and for an entry of the system directory its fallback too.
struct NamedEntry {
  std::vector<std::string> names;
  bool selected = true;  // only selected entries are replaced, so only they can clash
};

struct Clash {
  size_t entry;  // the entry refused
  NameClash cause;
  size_t other;  // the entry it clashes with (itself for backupIsItself)
};

// Every clash among `entries`, in this order: names shared by selected entries, each pair
// both ways as the later entry meets the earlier; a selected entry named as a new version
// is while it is made (its other entry the one whose new file that is, else itself); then,
// when previous versions are renamed
// (`renamePrevious`), for each selected entry in turn its own backup name, the first entry
// (selected or not) whose file its backup name is, and the first selected entry that is
// that file. An entry's first clash in this order is its cause.
std::vector<Clash> FindNameClashes(const std::vector<NamedEntry>& entries, bool renamePrevious);
