#include "support/test_env.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include <cstdint>

#include "platform/exceptions.h"

namespace {

class FaultyFile : public CFile {
 public:
  FaultyFile(std::unique_ptr<CFile> inner, TestEnv& env) : inner_(std::move(inner)), env_(env) {}
  size_t Read(void* buffer, size_t count) override {
    Check("Reading");
    return inner_->Read(buffer, count);
  }
  uint64_t Tell() override {
    Check("Querying");
    return inner_->Tell();
  }
  uint64_t SeekRelative(int64_t delta) override {
    Check("Moving in");
    return inner_->SeekRelative(delta);
  }
  uint64_t SeekAbsolute(uint64_t offset) override {
    Check("Moving in");
    return inner_->SeekAbsolute(offset);
  }
  uint64_t Length() override {
    Check("Querying");
    return inner_->Length();
  }
  const std::string& FullPath() const override { return inner_->FullPath(); }
  void Write(const void* data, size_t count) override {
    Check("Writing");
    inner_->Write(data, count);
  }
  void Flush() override {
    Check("Flushing");
    inner_->Flush();
  }
  void StartWriteBack() override { inner_->StartWriteBack(); }
  bool ReadIdentity(FileIdentity* identity) override {
    return !env_.Fault("Querying") && inner_->ReadIdentity(identity);
  }

 private:
  void Check(const char* what) {
    if (env_.Fault(what)) {
      throw CFileException(FileCause::hardIO, 1117, std::string(what) + " " + FullPath());
    }
  }
  std::unique_ptr<CFile> inner_;
  TestEnv& env_;
};

// A batch whose Add and Flush count as calls: a fault makes the file added (or the first
// file, at Flush) one that may not be durable.
class FaultyBatch : public FlushBatch {
 public:
  FaultyBatch(std::unique_ptr<FlushBatch> inner, TestEnv& env)
      : inner_(std::move(inner)), env_(env) {}
  void Add(const std::string& path) override {
    if (env_.Fault("FlushBatch::Add") && failed_ > added_) failed_ = added_;
    ++added_;
    inner_->Add(path);
  }
  size_t Flush() override {
    if (env_.Fault("FlushBatch::Flush")) return 0;
    size_t first = inner_->Flush();
    return first < failed_ ? first : failed_;
  }

 private:
  std::unique_ptr<FlushBatch> inner_;
  TestEnv& env_;
  size_t added_ = 0;
  size_t failed_ = SIZE_MAX;
};

}  // namespace

std::unique_ptr<FlushBatch> TestEnv::StartFlushBatch() {
  return std::make_unique<FaultyBatch>(inner_.StartFlushBatch(), *this);
}

bool TestEnv::ReadDiskSpace(const std::string& directory, DiskSpace* space) {
  if (Fault("ReadDiskSpace")) return false;
  if (!inner_.ReadDiskSpace(directory, space)) return false;
  if (freeBytes) space->freeBytes = *freeBytes;
  return true;
}

bool TestEnv::Fault(const char* what) {
  std::lock_guard<std::recursive_mutex> lock(counting_);
  if (before) before(what);
  ++calls;
  if (calls == killAt_) {
#ifdef _WIN32
    ::TerminateProcess(::GetCurrentProcess(), kKilledCode);
#else
    ::raise(SIGKILL);
#endif
  }
  if (failAt_ == 0) return false;
  if ((calls >= failAt_ && calls < failAt_ + failCount_) || (sticky_ && calls > failAt_)) {
    if (!fired) faultedOn = what;
    fired = true;
    return true;
  }
  return false;
}

std::unique_ptr<CFile> TestEnv::Wrap(std::unique_ptr<CFile> file) {
  if (!file) return file;
  return std::make_unique<FaultyFile>(std::move(file), *this);
}

std::unique_ptr<CFile> TestEnv::OpenExclusive(const std::string& path, bool forWriting,
                                              FileCause* why) {
  if (Fault("OpenExclusive")) {
    *why = FileCause::hardIO;
    return nullptr;
  }
  return Wrap(inner_.OpenExclusive(path, forWriting, why));
}

bool TestEnv::InLockedDirectory(const std::string& path) const {
  return !lockedDirectory.empty() && path.compare(0, path.rfind('\\') + 1, lockedDirectory) == 0;
}

std::unique_ptr<CFile> TestEnv::CreateExclusive(const std::string& path) {
  if (Fault("CreateExclusive") || InLockedDirectory(path)) return nullptr;
  return Wrap(inner_.CreateExclusive(path));
}

bool TestEnv::ProbeNewFile(const std::string& path) {
  if (Fault("ProbeNewFile") || InLockedDirectory(path)) return false;
  return inner_.ProbeNewFile(path);
}

NameKind TestEnv::InspectName(const std::string& path) {
  if (Fault("InspectName")) return NameKind::other;
  return inner_.InspectName(path);
}

TryResult TestEnv::TryPlaceNewFile(const std::string& newFile, const std::string& target) {
  TryResult faked = Try("PlaceNewFile");
  return faked != TryResult::done ? faked : inner_.TryPlaceNewFile(newFile, target);
}

TryResult TestEnv::TryRenameFile(const std::string& from, const std::string& to) {
  TryResult faked = Try("RenameFile");
  return faked != TryResult::done ? faked : inner_.TryRenameFile(from, to);
}

bool TestEnv::CreateDirectories(const std::string& directory) {
  if (Fault("CreateDirectories") || InLockedDirectory(directory + "\\")) return false;
  return inner_.CreateDirectories(directory);
}

std::unique_ptr<DirectoryLock> TestEnv::LockDirectory(const std::string& directory) {
  if (Fault("LockDirectory")) return nullptr;
  return inner_.LockDirectory(directory);
}

FileIdentity TestEnv::ReadFileIdentity(const std::string& path, const FileIdentity* earlier) {
  if (Fault("ReadFileIdentity")) return FileIdentity();
  return inner_.ReadFileIdentity(path, earlier);
}

std::string TestEnv::TempDirectory() {
  if (Fault("TempDirectory")) return std::string();
  return tempOverride.empty() ? temp_ : tempOverride;
}

bool TestEnv::RemoveFile(const std::string& path) {
  if (Fault("RemoveFile")) {
    removeFailed = true;
    return false;
  }
  return inner_.RemoveFile(path);
}

ExpandOutcome TestEnv::ExpandPayload(ByteSource& stored, const std::string& tempDirectory,
                                     ByteSink& out) {
  if (Fault("ExpandPayload")) return ExpandOutcome::failed;
  return inner_.ExpandPayload(stored, tempDirectory, out);
}

ReplaceOutcome TestEnv::TryReplaceWithBackup(const std::string& newFile, const std::string& target,
                                             const std::string& backup) {
  switch (Try("ReplaceWithBackup")) {
    case TryResult::busy:
      return ReplaceOutcome::busy;
    case TryResult::refused:
      return ReplaceOutcome::failed;
    case TryResult::done:
      break;
  }
  return inner_.TryReplaceWithBackup(newFile, target, backup);
}

void TestEnv::SyncDirectory(const std::string& directory) {
  if (Fault("SyncDirectory")) return;
  inner_.SyncDirectory(directory);
}
