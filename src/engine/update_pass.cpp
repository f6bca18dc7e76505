// The update's second pass, in three steps that keep the file order: every new version is
// made next to its target first, then all of them are flushed together, then each is put in
// place and each directory written is synced once. A failure before the last step changes
// no installed file; the first failure ends the pass, and what was put in place stays.
#include <memory>
#include <string>
#include <vector>

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
  // Each new version not put in place is removed when the pass ends, however it ends.
  std::vector<std::unique_ptr<TempFile>> staged(count);
  std::vector<size_t> batched;  // the entry of each file in the batch, in its order
  std::unique_ptr<FlushBatch> batch = env.StartFlushBatch();
  const std::string tempDirectory = env.TempDirectory();
  for (size_t k = 0; k < count; ++k) {
    if (StopAsked(run)) return;
    CUpdateItem& item = *doc.items[k];
    if (MakesNewFile(item)) {
      run.current = &run.record.entries[k];
      staged[k] = std::make_unique<TempFile>(env);
      UpdateError rc =
          item.PrepareNewVersion(updateFile, doc, run, tempDirectory, *batch, *staged[k]);
      if (!staged[k]->path().empty()) batched.push_back(k);
      if (rc != none) {
        FailEntry(run, item, rc, 2);
        return;
      }
    }
    Passed(run, 2, k);
  }
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
    UpdateError rc = Finish(*doc.items[k], updateFile, doc, run, staged[k].get());
    if (rc != none) FailEntry(run, *doc.items[k], rc, 2);
    settled.UpTo(k + 1);
    if (rc != none) break;
  }
}
