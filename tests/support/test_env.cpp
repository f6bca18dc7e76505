#include "support/test_env.h"

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

 private:
  void Check(const char* what) {
    if (env_.Fault(what)) {
      throw CFileException(FileCause::hardIO, 1117, std::string(what) + " " + FullPath());
    }
  }
  std::unique_ptr<CFile> inner_;
  TestEnv& env_;
};

}  // namespace

bool TestEnv::Fault(const char* what) {
  ++calls;
  if (failAt_ == 0) return false;
  if (calls == failAt_ || (sticky_ && calls > failAt_)) {
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

std::unique_ptr<CFile> TestEnv::OpenExclusive(const std::string& path, bool forWriting) {
  if (Fault("OpenExclusive")) return nullptr;
  return Wrap(inner_.OpenExclusive(path, forWriting));
}

std::unique_ptr<CFile> TestEnv::CreateExclusive(const std::string& path) {
  if (Fault("CreateExclusive")) return nullptr;
  return Wrap(inner_.CreateExclusive(path));
}

FileIdentity TestEnv::ReadFileIdentity(const std::string& path) {
  if (Fault("ReadFileIdentity")) return FileIdentity();
  return inner_.ReadFileIdentity(path);
}

std::string TestEnv::TempDirectory() {
  if (Fault("TempDirectory")) return std::string();
  return tempOverride.empty() ? temp_ : tempOverride;
}

std::string TestEnv::CreateTempFile(const std::string& directory, const char* prefix) {
  if (Fault("CreateTempFile")) return std::string();
  return inner_.CreateTempFile(directory, prefix);
}

bool TestEnv::RemoveFile(const std::string& path) {
  if (Fault("RemoveFile")) {
    removeFailed = true;
    return false;
  }
  return inner_.RemoveFile(path);
}

bool TestEnv::RenameFile(const std::string& from, const std::string& to) {
  if (Fault("RenameFile")) return false;
  return inner_.RenameFile(from, to);
}

bool TestEnv::ReplaceFile(const std::string& from, const std::string& to) {
  if (Fault("ReplaceFile")) return false;
  return inner_.ReplaceFile(from, to);
}

int64_t TestEnv::ExpandFile(const std::string& source, const std::string& target) {
  if (Fault("ExpandFile")) return 0;
  return inner_.ExpandFile(source, target);
}
