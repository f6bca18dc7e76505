#include "release_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pack.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/pe_version.h"

namespace fs = std::filesystem;

namespace {

// The version reader takes a CFile; this one reads the bytes already in memory, which may
// be hundreds of megabytes, without copying them.
class BytesView : public CFile {
 public:
  explicit BytesView(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t Read(void* buffer, size_t count) override {
    if (position_ >= bytes_.size()) return 0;
    size_t n = std::min(count, static_cast<size_t>(bytes_.size() - position_));
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  uint64_t Tell() override { return position_; }
  uint64_t SeekRelative(int64_t delta) override {
    if (delta < 0 && static_cast<uint64_t>(-delta) > position_) {
      throw CFileException(FileCause::badSeek, 131, "Moving in " + path_);
    }
    return position_ += delta;
  }
  uint64_t SeekAbsolute(uint64_t offset) override { return position_ = offset; }
  uint64_t Length() override { return bytes_.size(); }
  const std::string& FullPath() const override { return path_; }

 private:
  const std::vector<uint8_t>& bytes_;
  const std::string path_ = "release file";
  uint64_t position_ = 0;
};

// Seconds since 1970 of the file's last write, 0 when unknown. C++17's file clock has no
// conversion to calendar time, so the C library's stat is asked, by the wide name on Windows.
uint32_t LastWriteSeconds(const std::string& path) {
#ifdef _WIN32
  struct _stat64 st;
  if (::_wstat64(fs::u8path(path).c_str(), &st) != 0) return 0;
#else
  struct stat st;
  if (::stat(fs::u8path(path).c_str(), &st) != 0) return 0;
#endif
  if (st.st_mtime < 0) return 0;
  return st.st_mtime > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(st.st_mtime);
}

}  // namespace

std::string WhyUnreadable(const std::string& path) {
  fs::path name = fs::u8path(path);
  std::error_code ec;
  fs::file_type type = fs::status(name, ec).type();
  if (type == fs::file_type::not_found) return "no such file";
  if (type == fs::file_type::directory) return "a directory, not a file";
  errno = 0;
  std::ifstream probe(name, std::ios::binary);
  if (probe) return "reading it failed";
  if (errno == EACCES || errno == EPERM) return "access denied";
  return errno ? std::strerror(errno) : "it cannot be opened";
}

std::string OpenToRead(const std::string& path, std::ifstream& in) {
  std::error_code ec;
  if (fs::is_regular_file(fs::u8path(path), ec)) in.open(fs::u8path(path), std::ios::binary);
  return in.is_open() ? "" : WhyUnreadable(path);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path, const std::string& field) {
  fs::path name = fs::u8path(path);
  std::error_code ec;
  if (!fs::is_regular_file(name, ec)) {
    throw PackError(field + ": cannot read " + path + ": " + WhyUnreadable(path));
  }
  uint64_t size = fs::file_size(name, ec);
  if (ec) throw PackError(field + ": cannot read " + path + ": " + ec.message());
  if (size > 0xFFFFFFFFull) throw PackError(field + ": " + path + " is 4 GiB or larger");
  std::ifstream in(name, std::ios::binary);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size))) {
    throw PackError(field + ": cannot read " + path + ": " + std::strerror(errno));
  }
  return data;
}

InputFile::InputFile(const std::string& path, const std::string& field)
    : path_(path), field_(field) {
  fs::path name = fs::u8path(path);
  std::error_code ec;
  if (!fs::is_regular_file(name, ec)) {
    throw PackError(field + ": cannot read " + path + ": " + WhyUnreadable(path));
  }
  length_ = fs::file_size(name, ec);
  if (ec) throw PackError(field + ": cannot read " + path + ": " + ec.message());
  // Without a buffer of its own, large reads go straight to the caller's buffer.
  in_.rdbuf()->pubsetbuf(nullptr, 0);
  in_.open(name, std::ios::binary);
  if (!in_) throw PackError(field + ": cannot read " + path + ": " + std::strerror(errno));
}

size_t InputFile::Read(void* buffer, size_t count) {
  in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
  size_t n = static_cast<size_t>(in_.gcount());
  if (in_.bad()) throw PackError(field_ + ": cannot read " + path_ + ": " + std::strerror(errno));
  // A short read is the end as the file has it now; the next read says so again.
  in_.clear();
  position_ += n;
  return n;
}

uint64_t InputFile::SeekRelative(int64_t delta) {
  if (delta < 0 && static_cast<uint64_t>(-delta) > position_) {
    throw CFileException(FileCause::badSeek, 131, "Moving in " + path_);
  }
  return SeekAbsolute(position_ + delta);
}

uint64_t InputFile::SeekAbsolute(uint64_t offset) {
  in_.clear();
  if (!in_.seekg(static_cast<std::streamoff>(offset))) {
    throw PackError(field_ + ": cannot read " + path_ + ": " + std::strerror(errno));
  }
  return position_ = offset;
}

CFileStamp ReleaseStamp(const std::string& path, CFile& file) {
  CFileStamp stamp;
  uint64_t length = file.Length();
  stamp.size = length > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(length);
  stamp.modified = LastWriteSeconds(path);
  ReadPeFileVersion(file, &stamp.versionMS, &stamp.versionLS);
  return stamp;
}

CFileStamp ReleaseStamp(const std::string& path, const std::vector<uint8_t>& data) {
  BytesView view(data);
  return ReleaseStamp(path, view);
}
