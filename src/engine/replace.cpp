#include "engine/replace.h"

#include <memory>

#include "engine/digest_behind.h"
#include "engine/run_context.h"
#include "model/document.h"
#include "model/file_name.h"
#include "model/paths.h"
#include "model/payload_order.h"
#include "model/update_item.h"
#include "platform/sha256.h"

namespace {

// From this size on, a new file's digest is worked out, and the file written, by the
// staging's thread while the pass goes on; a smaller file costs less than handing it over.
constexpr uint64_t kDigestBehindFrom = 64 * 1024;

// Where the expansion writes: the new file, with the bytes counted and, when the entry
// carries a digest, hashed on their way, here or by the staging's thread. A file handed to
// that thread is written and closed there; `file` is then empty.
class NewFileSink : public ByteSink {
 public:
  NewFileSink(std::unique_ptr<CFile>& file, const CUpdateItem& item, Staging& staging)
      : file_(file.get()) {
    if (!item.hasContentDigest) return;
    DigestBehind* behind = staging.digests;
    if (behind && behind->Running() && item.expectedStamp.size >= kDigestBehindFrom) {
      behind_ = behind;
      file_ = nullptr;
      behind_->Begin(staging.entry, item.contentDigest, std::move(file));
    } else {
      hash_ = std::make_unique<Sha256>();
    }
  }
  void Write(const uint8_t* data, size_t count) override {
    if (behind_) {
      behind_->Add(data, count);
    } else {
      file_->Write(data, count);
      if (hash_) hash_->Update(data, count);
    }
    written_ += count;
  }
  uint64_t written() const { return written_; }
  // Whether what was written is what the entry's digest says, as far as is known now: a
  // digest handed over is compared later (DigestBehind::FirstMismatch).
  bool DigestDiffers(const Sha256Digest& expected) {
    if (behind_) behind_->End();
    return hash_ && hash_->Finish() != expected;
  }

 private:
  CFile* file_;  // written here, unless handed over
  std::unique_ptr<Sha256> hash_;
  DigestBehind* behind_ = nullptr;
  uint64_t written_ = 0;
};

// Makes the entry's new version in `fresh` next to the target: expanded, checked against
// the entry's size and digest, and handed to the staging's batch to be flushed with the
// others. Returns none, cannotCreateTemp or cannotDecompress; raises what reading the update
// file raises.
UpdateError MakeNewVersion(Env& env, CFile& updateFile, const CUpdateItem& item, Staging& staging,
                           TempFile& fresh) {
  std::string name = NewFileName(item.targetPath);
  std::unique_ptr<CFile> file = env.CreateExclusive(name);
  if (!file) return cannotDecompress;
  // Ours from here on, removed unless it is put in place: never a file that had the name.
  fresh.Adopt(name);
  staging.batch.Add(name);
  StoredContents stored(updateFile, item.payloadOffset, item.payloadLength);
  NewFileSink sink(file, item, staging);
  ExpandOutcome expanded = env.ExpandPayload(stored, staging.tempDirectory, sink);
  bool digestDiffers = sink.DigestDiffers(item.contentDigest);
  if (expanded == ExpandOutcome::noTempFile) return cannotCreateTemp;
  if (expanded != ExpandOutcome::expanded || stored.cutShort() || sink.written() == 0 ||
      sink.written() != item.expectedStamp.size || digestDiffers) {
    return cannotDecompress;
  }
  if (file) file->StartWriteBack();
  return none;
}

}  // namespace

void TempFile::Remove() {
  if (!path_.empty()) env_.RemoveFile(path_);
  path_.clear();
}

UpdateError CUpdateItem::PrepareNewVersion(CFile& updateFile, const VEzorazEdo& doc,
                                           RunContext& run, Staging& staging, TempFile& fresh) {
  Env& env = *run.env;
  bool adding = action == EntryAction::add;
  // An added file's missing directories are made; they stay should a later step fail.
  if (adding && !env.CreateDirectories(DirectoryOf(targetPath))) return cantCreateFile;
  // A name ending in '_' is its own backup name: deleting "the old backup" would delete the
  // installed file.
  if (doc.renamePrevious && !adding && BackupName(targetPath) == targetPath) return cannotRename;
  if (staging.tempDirectory.empty()) return cannotCreateTemp;
  return MakeNewVersion(env, updateFile, *this, staging, fresh);
}

UpdateError CUpdateItem::ReplaceFile(CFile& updateFile, const VEzorazEdo& doc, RunContext& run) {
  TempFile fresh(*run.env);
  std::unique_ptr<FlushBatch> batch = run.env->StartFlushBatch();
  Staging staging{run.env->TempDirectory(), *batch, nullptr, 0};
  UpdateError rc = PrepareNewVersion(updateFile, doc, run, staging, fresh);
  if (rc != none) return rc;
  if (batch->Flush() != 1) return cannotDecompress;
  return PlaceNewVersion(updateFile, doc, run, fresh);
}

UpdateError CUpdateItem::PlaceNewVersion(CFile& updateFile, const VEzorazEdo& doc, RunContext& run,
                                         TempFile& fresh) {
  Env& env = *run.env;
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  bool adding = action == EntryAction::add;
  // An added file has no previous version to keep.
  bool renamePrevious = doc.renamePrevious && !adding;
  std::string backup = renamePrevious ? BackupName(targetPath) : std::string();
  // Another program may have changed the file since the first pass (an edit, another
  // installer's newer version): as late as possible, it must still be what was checked.
  UpdateError rc = Recheck(updateFile, doc, run);
  if (rc != none) return rc;
  if (verdict != verdictUpdate) return Report(run);
  if (adding) {
    // Under a name nothing has: a file that appeared since the check is never replaced.
    if (!env.PlaceNewFile(fresh.path(), targetPath)) return cantCreateFile;
    fresh.Release();
    run.replacedDirectories.insert(DirectoryOf(targetPath));
    outcome.replaced = true;
    run.AddLine("Added File %s", targetPath.c_str());
    return none;
  }
  // An earlier backup is replaced this way; one that cannot be deleted makes the backup
  // step fail.
  if (renamePrevious) env.RemoveFile(backup);
  switch (env.ReplaceWithBackup(fresh.path(), targetPath, backup)) {
    case ReplaceOutcome::replaced:
      break;
    case ReplaceOutcome::backupFailed:
      return cannotRename;
    case ReplaceOutcome::failed:
    case ReplaceOutcome::busy:  // of a try only, never of the step
      return cannotDecompress;
    case ReplaceOutcome::targetLost:
      outcome.restoreFailed = true;
      outcome.SetBackup(backup);
      return cannotDecompress;
  }
  fresh.Release();
  run.replacedDirectories.insert(DirectoryOf(targetPath));
  if (renamePrevious) {
    run.AddLine("%s renamed to %s", targetPath.c_str(), LastComponent(backup).c_str());
    outcome.SetBackup(backup);
  }
  outcome.replaced = true;
  run.AddLine("Updated File %s", targetPath.c_str());
  return none;
}

bool CanMakeNewFileNextTo(RunContext& run, const std::string& target) {
  std::string directory = FoldedName(DirectoryOf(target));
  auto known = run.writableDirectories.find(directory);
  if (known != run.writableDirectories.end()) return known->second;
  // Only making a file tells: permissions, a read-only volume, a full directory, whatever
  // the system decides. The name is the new file's own, which the next update removes
  // should this run end before the probe does.
  bool made = run.env->ProbeNewFile(NewFileName(target));
  run.writableDirectories.emplace(directory, made);
  return made;
}
