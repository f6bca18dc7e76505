#include "model/body_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"

namespace {

// More than the reader ever gives back: its read-ahead is 4 KiB.
constexpr size_t kRecent = 64 * 1024;
constexpr size_t kPiece = 1 << 20;

}  // namespace

BodyReader::BodyReader(CFile& file, uint64_t bodyLength)
    : file_(file), bodyLength_(bodyLength), length_(file.Length()) {
  file_.SeekAbsolute(0);
}

void BodyReader::Keep(const uint8_t* data, size_t count) {
  if (count >= kRecent) {
    recent_.assign(data + count - kRecent, data + count);
    return;
  }
  if (recent_.size() + count > 2 * kRecent) {
    recent_.erase(recent_.begin(), recent_.end() - static_cast<std::ptrdiff_t>(kRecent - count));
  }
  recent_.insert(recent_.end(), data, data + count);
}

void BodyReader::HashUpTo(uint64_t offset) {
  std::vector<uint8_t> piece;
  while (hashed_ < offset) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(offset - hashed_, kPiece));
    piece.resize(want);
    size_t n = file_.Read(piece.data(), want);
    if (n == 0) throw CFileException(FileCause::endOfFile, 0, "reading the update file");
    uint64_t inBody = hashed_ < bodyLength_ ? std::min<uint64_t>(n, bodyLength_ - hashed_) : 0;
    digest_.Update(piece.data(), static_cast<size_t>(inBody));
    Keep(piece.data(), n);
    hashed_ += n;
  }
}

size_t BodyReader::Read(void* buffer, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  // Past the end there is nothing to read (the reader says the file was cut short), and
  // nothing to hash either.
  if (position_ >= length_) return 0;
  if (position_ > hashed_) HashUpTo(position_);
  size_t done = 0;
  if (position_ < hashed_) {
    // Read again: from the bytes already hashed.
    uint64_t back = hashed_ - position_;
    if (back > recent_.size()) {
      throw CFileException(FileCause::badSeek, 0, "reading the update file again");
    }
    size_t n = static_cast<size_t>(std::min<uint64_t>(back, count));
    std::memcpy(out, recent_.data() + recent_.size() - back, n);
    done = n;
    position_ += n;
  }
  if (done < count) {
    size_t n = file_.Read(out + done, count - done);
    uint64_t inBody = hashed_ < bodyLength_ ? std::min<uint64_t>(n, bodyLength_ - hashed_) : 0;
    digest_.Update(out + done, static_cast<size_t>(inBody));
    Keep(out + done, n);
    hashed_ += n;
    position_ += n;
    done += n;
  }
  return done;
}

uint64_t BodyReader::SeekRelative(int64_t delta) {
  if (delta < 0 && static_cast<uint64_t>(-delta) > position_) {
    throw CFileException(FileCause::badSeek, 0, "moving in the update file");
  }
  position_ += static_cast<uint64_t>(delta);
  return position_;
}

uint64_t BodyReader::SeekAbsolute(uint64_t offset) {
  position_ = offset;
  return position_;
}

Sha256Digest BodyReader::Finish() {
  HashUpTo(std::min(bodyLength_, length_));
  if (hashed_ < bodyLength_)
    throw CFileException(FileCause::endOfFile, 0, "reading the update file");
  return digest_.Finish();
}
