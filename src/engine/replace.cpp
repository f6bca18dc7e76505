#include "engine/replace.h"

#include <memory>

#include "engine/paths.h"
#include "engine/payload_order.h"
#include "engine/run_context.h"
#include "model/update_item.h"

void TempFile::Remove() {
  if (!path_.empty()) env_.RemoveFile(path_);
  path_.clear();
}

UpdateError ExtractPayload(Env& env, CFile& updateFile, uint32_t offset, uint32_t size,
                           TempFile& temp) {
  updateFile.SeekAbsolute(offset);
  std::string directory = env.TempDirectory();
  if (directory.empty()) return cannotCreateTemp;
  std::string name = env.CreateTempFile(directory, "UPD");
  if (name.empty()) return cannotCreateTemp;
  temp.Adopt(name);
  std::unique_ptr<CFile> out = env.CreateExclusive(name);
  if (!out) return cannotCreateTemp;
  // 64 blocks per read and write: the blocks are still reversed one by one, the file
  // calls are fewer.
  constexpr size_t kChunk = 64 * kPayloadBlockSize;
  std::unique_ptr<uint8_t[]> chunk(new uint8_t[kChunk]);
  uint32_t left = size;
  while (left > 0) {
    size_t want = left < kChunk ? left : kChunk;
    size_t got = 0;
    while (got < want) {
      size_t n = updateFile.Read(chunk.get() + got, want - got);
      if (n == 0) return cannotDecompress;  // the update file ends inside the payload
      got += n;
    }
    for (size_t at = 0; at < want; at += kPayloadBlockSize) {
      ReverseBytes(chunk.get() + at, want - at < kPayloadBlockSize ? want - at : kPayloadBlockSize);
    }
    out->Write(chunk.get(), want);
    left -= static_cast<uint32_t>(want);
  }
  return none;
}

UpdateError ExpandFile(Env& env, const std::string& source, const std::string& target,
                       uint32_t expectedSize) {
  std::string directory = DirectoryOf(target);
  TempFile expanded(env);
  std::string name = env.CreateTempFile(directory.empty() ? "." : directory, "UPD");
  if (name.empty()) return cannotDecompress;
  expanded.Adopt(name);
  int64_t written = env.ExpandFile(source, name);
  if (written <= 0 || static_cast<uint64_t>(written) != expectedSize) return cannotDecompress;
  if (!env.ReplaceFile(name, target)) return cannotDecompress;
  expanded.Release();
  return none;
}

UpdateError CUpdateItem::ReplaceFile(CFile& updateFile, bool renamePrevious, RunContext& run) {
  Env& env = *run.env;
  EntryOutcome unrecorded;
  EntryOutcome& outcome = run.current ? *run.current : unrecorded;
  TempFile payload(env);
  UpdateError rc = ExtractPayload(env, updateFile, payloadOffset, payloadLength, payload);
  if (rc != none) return rc;
  std::string target = targetPath;
  std::string backup;
  if (renamePrevious) {
    backup = BackupName(target);
    // A name ending in '_' is its own backup name: deleting "the old backup" would
    // delete the installed file.
    if (backup == target) return cannotRename;
    env.RemoveFile(backup);
    if (!env.RenameFile(target, backup)) return cannotRename;
    run.AddLine("%s renamed to %s", targetPath, LastComponent(backup).c_str());
    outcome.backup = backup;
  }
  rc = ExpandFile(env, payload.path(), target, expectedStamp.size);
  payload.Remove();
  if (rc != none) {
    // Put the previous version back where it was.
    if (!backup.empty()) {
      if (env.RenameFile(backup, target)) {
        outcome.backup.clear();
      } else {
        outcome.restoreFailed = true;
      }
    }
    return rc;
  }
  outcome.replaced = true;
  run.AddLine("Updated File %s", targetPath);
  return none;
}
