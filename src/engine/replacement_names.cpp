#include "engine/replacement_names.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "engine/run_context.h"
#include "model/document.h"
#include "model/paths.h"
#include "model/payload_order.h"
#include "model/update_item.h"
#include "platform/canonical_path.h"
#include "platform/name_case.h"

namespace {

// Compares what the expansion writes with a leftover's bytes, and stops it once they differ
// or the leftover's end is reached.
class PrefixSink : public ByteSink {
 public:
  PrefixSink(CFile& leftover, uint64_t size) : leftover_(leftover), left_(size) {}
  void Write(const uint8_t* data, size_t count) override {
    uint8_t buffer[4096];
    while (count > 0 && left_ > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>({count, sizeof buffer, left_}));
      size_t got = leftover_.Read(buffer, n);
      if (got != n || !std::equal(buffer, buffer + n, data)) {
        differs = true;
        break;
      }
      data += n;
      count -= n;
      left_ -= n;
    }
    // Either way the rest of the expansion tells nothing more: a refused write ends it.
    if (differs || left_ == 0) throw CFileException(FileCause::generic, 0, "comparing a leftover");
  }
  bool differs = false;
  bool reachedEnd() const { return left_ == 0; }

 private:
  CFile& leftover_;
  uint64_t left_;
};

// Whether the file at `path` is what this entry's new version begins with, and no one holds it
// open: a new version an ended run was making, which this run may remove.
bool IsOwnLeftover(Env& env, CFile& updateFile, const CUpdateItem& item, const std::string& path) {
  FileCause why;
  std::unique_ptr<CFile> leftover = env.OpenExclusive(path, false, &why);
  if (!leftover) return false;
  uint64_t size = leftover->Length();
  if (size == 0) return true;
  if (size > item.expectedStamp.size) return false;
  std::string temp = env.TempDirectory();
  if (temp.empty()) return false;
  StoredContents stored(updateFile, item.payloadOffset, item.payloadLength);
  PrefixSink sink(*leftover, size);
  env.ExpandPayload(stored, temp, sink);
  return !sink.differs && sink.reachedEnd();
}

}  // namespace

UpdateError CheckReplacementNames(const CUpdateItem& item, CFile& updateFile, const VEzorazEdo& doc,
                                  RunContext& run) {
  Env& env = *run.env;
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  std::string fresh = NewFileName(item.targetPath);
  // A removal makes no new file; an addition keeps no previous version.
  NameKind kind = item.action == EntryAction::remove ? NameKind::missing : env.InspectName(fresh);
  if (kind != NameKind::missing) {
    if (kind != NameKind::file || !IsOwnLeftover(env, updateFile, item, fresh)) {
      outcome.cause = EntryCause::newFileTaken;
      return cannotWrite;
    }
    outcome.leftover = true;
  }
  if (doc.renamePrevious && item.action != EntryAction::add) {
    NameKind backup = env.InspectName(BackupName(item.targetPath));
    if (backup != NameKind::missing && backup != NameKind::file) {
      outcome.cause = EntryCause::backupTaken;
      return cannotRename;
    }
  }
  return none;
}

std::vector<std::unique_ptr<DirectoryLock>> LockWrittenDirectories(const VEzorazEdo& doc,
                                                                   RunContext& run) {
  std::map<std::string, std::string> directories;  // folded canonical name: as written
  // Most entries share a directory with the one before; each spelling is resolved once.
  std::set<std::string> resolved;
  for (const auto& item : doc.items) {
    if (!item->selected || !item->pathOk) continue;
    std::vector<std::string> paths = {item->targetPath};
    std::string fallback;
    if (item->directoryKind == kindSystem && item->FallbackPath(run, &fallback)) {
      paths.push_back(fallback);
    }
    for (const std::string& path : paths) {
      std::string directory = DirectoryOf(path);
      if (!resolved.insert(directory).second) continue;
      std::string canonical = CanonicalPath(directory);
      if (!canonical.empty()) directories.emplace(FoldedName(canonical), canonical);
    }
  }
  std::vector<std::unique_ptr<DirectoryLock>> locks;
  for (const auto& directory : directories) {
    std::unique_ptr<DirectoryLock> lock = run.env->LockDirectory(directory.second);
    if (!lock) {
      throw CException("Another update of " + doc.productName + " is running: it is changing " +
                       directory.second +
                       ". Wait until it has ended, then run this one again. Nothing was changed.");
    }
    locks.push_back(std::move(lock));
  }
  return locks;
}
