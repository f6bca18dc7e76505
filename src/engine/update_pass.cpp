// The update's second pass, in three steps that keep the file order: every new version is
// made next to its target first, then all of them are flushed together, then each is put in
// place and each directory written is synced once. A failure before the last step changes
// no installed file; the first failure ends the pass, and what was put in place stays.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/digest_behind.h"
#include "engine/replace.h"
#include "engine/run_steps.h"
#include "model/paths.h"

namespace {

// Makes the pass's renames durable when it ends, however it ends: one sync per directory
// instead of one per file. Every new file was flushed before it took its target's name, so
// a target is whole either way; the sync only keeps the new names.
struct DurableRenames {
  explicit DurableRenames(RunContext& run) : run_(run) {}
  ~DurableRenames() {
    for (const std::string& directory : run_.replacedDirectories)
      run_.env->SyncDirectory(directory);
    run_.replacedDirectories.clear();
  }
  RunContext& run_;
};

// The new versions made and not yet put in place, by entry, each removed when the pass ends,
// however it ends. A new file's name follows from its target's (NewFileName): a mark is
// all there is to keep of each, not a name, for as many entries as an update has.
class StagedFiles {
 public:
  StagedFiles(Env& env, const VEzorazEdo& doc) : env_(env), doc_(doc), made_(doc.items.size()) {}
  ~StagedFiles() {
    for (size_t k = 0; k < made_.size(); ++k) {
      if (made_[k]) env_.RemoveFile(NewFileName(doc_.items[k]->targetPath));
    }
  }
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Takes over entry k's new file from `fresh`, which made it.
  void Keep(size_t k, TempFile& fresh) {
    made_[k] = !fresh.path().empty();
    fresh.Release();
  }
  // Hands entry k's new file, if one was made, to `fresh`, which removes it unless it is put
  // in place.
  void HandOver(size_t k, TempFile& fresh) {
    if (made_[k]) fresh.Adopt(NewFileName(doc_.items[k]->targetPath));
    made_[k] = false;
  }

 private:
  Env& env_;
  const VEzorazEdo& doc_;
  std::vector<bool> made_;
};

// The last step for one entry: its line, its new version put in place, or its removal.
UpdateError Finish(CUpdateItem& item, CFile& updateFile, const VEzorazEdo& doc, RunContext& run,
                   TempFile* fresh) {
  if (!item.selected) {
    run.AddLine("%s was not updated (User Selection)", item.targetPath.c_str());
    return none;
  }
  if (item.verdict != verdictUpdate) return item.Report(run);
  if (item.action == EntryAction::remove) return item.RemoveInstalled(updateFile, doc, run);
  return item.PlaceNewVersion(updateFile, doc, run, *fresh);
}

}  // namespace

void RunUpdatePass(CFile& updateFile, VEzorazEdo& doc, RunContext& run, FinalEntries& settled) {
  Env& env = *run.env;
  const size_t count = doc.items.size();
  StagedFiles staged(env, doc);
  std::vector<size_t> batched;  // the entry of each file in the batch, in its order
  std::unique_ptr<FlushBatch> batch = env.StartFlushBatch();
  DigestBehind digests;
  Staging staging{env.TempDirectory(), *batch, &digests, 0};
  // One temporary copy of the stored contents serves every new file made.
  std::unique_ptr<ScratchHold> scratch = env.HoldScratch();
  // An entry has passed once its digest, worked out behind, was found right.
  size_t told = 0;
  auto tell = [&](size_t upTo) {
    for (; told < upTo; ++told) Passed(run, 2, told);
  };
  // The first failure in file order ends the pass: an earlier entry's digest that differs
  // comes before the error of the entry at hand, whose own error says more than the digest
  // of what it could not finish. With `wait`, once every digest is known.
  auto failed = [&](size_t k, UpdateError rc, bool wait) {
    size_t differs = digests.FirstMismatch(wait);
    if (differs != DigestBehind::kNone && (differs < k || rc == none)) {
      k = differs;
      rc = cannotDecompress;
    }
    if (rc == none) return false;
    // Every digest before the failing entry's was compared and found right.
    tell(k);
    run.current = &run.record.entries[k];
    FailEntry(run, *doc.items[k], rc, 2);
    return true;
  };
  for (size_t k = 0; k < count; ++k) {
    if (StopAsked(run)) return;
    CUpdateItem& item = *doc.items[k];
    if (MakesNewFile(item)) {
      run.current = &run.record.entries[k];
      TempFile fresh(env);
      staging.entry = k;
      UpdateError rc = item.PrepareNewVersion(updateFile, doc, run, staging, fresh);
      if (!fresh.path().empty()) batched.push_back(k);
      staged.Keep(k, fresh);
      if (failed(k, rc, rc != none)) return;
    }
    tell(std::min(k + 1, digests.OldestPending()));
  }
  if (failed(0, none, true)) return;
  tell(count);
  size_t flushed = batch->Flush();
  if (flushed < batched.size()) {
    run.current = &run.record.entries[batched[flushed]];
    FailEntry(run, *doc.items[batched[flushed]], cannotDecompress, 2);
    return;
  }
  DurableRenames durable(run);
  for (size_t k = 0; k < count; ++k) {
    if (StopAsked(run)) break;
    run.current = &run.record.entries[k];
    TempFile fresh(env);
    staged.HandOver(k, fresh);
    UpdateError rc = Finish(*doc.items[k], updateFile, doc, run, &fresh);
    if (rc != none) FailEntry(run, *doc.items[k], rc, 2);
    settled.UpTo(k + 1);
    if (rc != none) break;
  }
}
