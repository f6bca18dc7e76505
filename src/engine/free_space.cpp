// The room the update pass needs: it makes every new version before it puts the first in
// place, so each volume must hold all the new versions made there at once, each rounded up
// to the volume's cluster. The backups take none: a backup is the previous version under a
// second name (a link natively, renamed by ReplaceFileA on Windows), never a copy.
#include <cstdio>
#include <map>
#include <string>

#include "engine/run_steps.h"
#include "model/paths.h"

namespace {

struct Room {
  bool known = false;  // the OS told the volume's free space
  DiskSpace space;
  uint64_t needed = 0;
};

// Rounded up to a tenth, so that any shortfall shows.
std::string Megabytes(uint64_t bytes) {
  const uint64_t tenth = 1024 * 1024 / 10;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB",
                static_cast<double>((bytes + tenth - 1) / tenth) / 10);
  return text;
}

}  // namespace

void CheckFreeSpace(const VEzorazEdo& doc, RunContext& run) {
  std::map<std::string, Room> volumes;          // by the volume's name
  std::map<std::string, std::string> volumeOf;  // directory: the name of its volume, "" unknown
  for (size_t k = 0; k < doc.items.size(); ++k) {
    const CUpdateItem& item = *doc.items[k];
    if (!MakesNewFile(item)) continue;
    std::string directory = DirectoryOf(item.targetPath);
    auto found = volumeOf.find(directory);
    if (found == volumeOf.end()) {
      DiskSpace space;
      // An added file's directory may still be missing: its nearest parent tells.
      std::string at = directory;
      bool told = run.env->ReadDiskSpace(at, &space);
      while (!told && item.action == EntryAction::add && DirectoryAsName(at) != at) {
        at = DirectoryOf(DirectoryAsName(at));
        if (at.empty()) break;
        told = run.env->ReadDiskSpace(at, &space);
      }
      found = volumeOf.emplace(directory, told ? space.volume : std::string()).first;
      if (told && !volumes[space.volume].known) volumes[space.volume] = Room{true, space, 0};
    }
    if (found->second.empty()) continue;  // not told: the writes themselves will tell
    Room& room = volumes[found->second];
    uint64_t cluster = room.space.clusterBytes ? room.space.clusterBytes : 1;
    room.needed += (item.expectedStamp.size + cluster - 1) / cluster * cluster;
    if (room.needed <= room.space.freeBytes) continue;
    run.current = &run.record.entries[k];
    run.current->cause = EntryCause::diskFull;
    run.current->SetDetail(Megabytes(room.needed - room.space.freeBytes));
    FailEntry(run, item, cannotWrite, 1);
    return;
  }
}
