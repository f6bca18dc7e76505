// The stored order of an entry's new contents: the compressed file cut into blocks of
// 1024 bytes, each block's bytes reversed. Writing and reading use the same helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lz/byte_stream.h"
#include "platform/file.h"

constexpr size_t kPayloadBlockSize = 1024;

// Reverses the `count` bytes at `buffer` in place; 0 or 1 bytes stay as they are.
void ReverseBytes(uint8_t* buffer, size_t count);

// Reverses every 1024-byte block of `bytes` (the last one holding the remaining 1 to
// 1024 bytes) in place. Applying it twice gives the original bytes.
void ReverseBlocks(std::vector<uint8_t>& bytes);

// The `size` stored bytes at `offset` of `file`, read as a stream in their original
// order, each block reversed back as it arrives. Whole blocks go straight into the
// reader's buffer; only a read of less than a block goes through one block of its own.
// Positions `file` at `offset` at once; raises what `file` raises.
class StoredContents : public ByteSource {
 public:
  StoredContents(CFile& file, uint32_t offset, uint32_t size);
  size_t Read(uint8_t* buffer, size_t count) override;
  // The file ended inside the contents; the stream ended there too.
  bool cutShort() const { return cut_; }

 private:
  // Reads the next `count` stored bytes (whole blocks, or all that is left) into `out`
  // in their original order. False when the file ends first.
  bool Take(uint8_t* out, size_t count);

  CFile& file_;
  uint32_t left_;  // stored bytes not yet taken from the file
  uint8_t block_[kPayloadBlockSize];
  size_t blockAt_ = 0;
  size_t blockEnd_ = 0;
  bool cut_ = false;
};
