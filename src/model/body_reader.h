// The update file as the load reads it when it carries an integrity record: every byte of its
// body hashed exactly once, in order, as the reader reaches it, and the bytes the reader
// reads again after giving back its read-ahead served from memory. So the document is parsed
// from the very bytes whose digest the record (and its signature) vouches for, even if the
// file changes under the load.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/sha256.h"

class BodyReader : public CFile {
 public:
  // Reads `file`'s first `bodyLength` bytes; positions it at 0.
  BodyReader(CFile& file, uint64_t bodyLength);

  size_t Read(void* buffer, size_t count) override;
  uint64_t Tell() override { return position_; }
  uint64_t SeekRelative(int64_t delta) override;
  uint64_t SeekAbsolute(uint64_t offset) override;
  uint64_t Length() override { return length_; }
  const std::string& FullPath() const override { return file_.FullPath(); }

  // Hashes what the reader stepped over at the end of the body, and returns the body's
  // digest. Raises CFileException when the file ends before the body does.
  Sha256Digest Finish();

 private:
  // Hashes the body up to `offset` (what a seek stepped over), reading it from the file.
  void HashUpTo(uint64_t offset);
  // Appends bytes just hashed to the recent ones kept for reading again.
  void Keep(const uint8_t* data, size_t count);

  CFile& file_;
  uint64_t bodyLength_;
  uint64_t length_;
  uint64_t position_ = 0;  // where the next read starts
  uint64_t hashed_ = 0;    // bytes [0, hashed_) are hashed; the file is positioned there
  Sha256 digest_;
  std::vector<uint8_t> recent_;  // the last bytes hashed, ending at hashed_
};
