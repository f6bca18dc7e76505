#include <cstring>

#include "platform/exceptions.h"
#include "platform/file.h"

MemoryFile::MemoryFile(std::vector<uint8_t> bytes, std::string path)
    : bytes_(std::move(bytes)), path_(std::move(path)) {}

size_t MemoryFile::Read(void* buffer, size_t count) {
  if (position_ >= bytes_.size()) return 0;
  size_t available = static_cast<size_t>(bytes_.size() - position_);
  size_t n = count < available ? count : available;
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

uint64_t MemoryFile::SeekRelative(int64_t delta) {
  if (delta < 0 && static_cast<uint64_t>(-delta) > position_) {
    throw CFileException(FileCause::badSeek, 131, "Moving in " + path_);
  }
  position_ += delta;
  return position_;
}

uint64_t MemoryFile::SeekAbsolute(uint64_t offset) {
  position_ = offset;
  return position_;
}

size_t CFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  SeekAbsolute(offset);
  return ReadFully(*this, buffer, count);
}

void CFile::Write(const void*, size_t) {
  throw CFileException(FileCause::accessDenied, 5, "Writing " + FullPath());
}

std::unique_ptr<CFile> TryOpenForReading(const std::string& path) {
  try {
    return OpenForReading(path);
  } catch (const CFileException&) {
    return nullptr;  // the caller reports the refusal in its own words
  }
}
