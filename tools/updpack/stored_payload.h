// One entry's stored contents on their way into the update file: the compressed new file
// with every 1024-byte block reversed. Entries are compressed ahead of their turn, so each
// holds at most a bounded part in memory and the rest in a scratch file beside the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/payload_order.h"
#include "lz/szdd.h"
#include "output_file.h"

class StoredPayload : public ByteSink {
 public:
  // `scratchNear`: where a scratch file may go; `memoryLimit`: the bytes kept in memory;
  // `sizeLimit`: the most the stored contents may have, past which Write raises PackError
  // naming `who`.
  StoredPayload(std::string scratchNear, size_t memoryLimit, uint64_t sizeLimit, std::string who);

  // Appends compressed bytes. Raises PackError.
  void Write(const uint8_t* data, size_t count) override;

  // Ends the contents: the last, partial block is reversed too.
  void Finish();

  uint64_t size() const { return size_; }

  // Passes the stored bytes, in order, to `out` a piece at a time. REQUIRES: Finish.
  void Drain(const std::function<void(const uint8_t*, size_t)>& out);

 private:
  void Store(const uint8_t* data, size_t count);

  std::string scratchNear_;
  size_t memoryLimit_;
  uint64_t sizeLimit_;
  std::string who_;
  uint64_t size_ = 0;
  uint8_t block_[kPayloadBlockSize];
  size_t blockFill_ = 0;
  std::vector<std::vector<uint8_t>> memory_;
  size_t inMemory_ = 0;
  std::unique_ptr<ScratchFile> scratch_;
};
