// An entry's stored contents: the compressed new file with every 1024-byte block reversed.
// StoreContents makes them at once for contents in memory; a StoredPayload takes them as the
// compressor streams them and, when they outgrow a bounded part in memory, keeps the rest in
// a spill file its owner provides (updpack: a scratch file beside the output).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lz/byte_stream.h"
#include "model/payload_order.h"

// The stored form of a new file: compressed (recording the name's last character), then
// every 1024-byte block reversed.
std::vector<uint8_t> StoreContents(const std::vector<uint8_t>& data, char lastNameChar);

// Bytes written once and read back once, from the start.
class PayloadSpill {
 public:
  virtual ~PayloadSpill() = default;
  // Appends `count` bytes. Raises PackError.
  virtual void Write(const void* data, size_t count) = 0;
  // The next piece of what was written, at most `size` bytes; 0 at the end. Raises PackError.
  virtual size_t ReadBack(void* buffer, size_t size) = 0;
};

class StoredPayload : public ByteSink {
 public:
  using SpillMaker = std::function<std::unique_ptr<PayloadSpill>()>;

  // `makeSpill`: called once, when the contents outgrow `memoryLimit` bytes; `sizeLimit`: the
  // most the stored contents may have, past which Write raises PackError naming `who`.
  StoredPayload(SpillMaker makeSpill, size_t memoryLimit, uint64_t sizeLimit, std::string who);

  // Appends compressed bytes. Raises PackError.
  void Write(const uint8_t* data, size_t count) override;

  // Ends the contents: the last, partial block is reversed too.
  void Finish();

  uint64_t size() const { return size_; }

  // Passes the stored bytes, in order, to `out` a piece at a time. REQUIRES: Finish.
  void Drain(const std::function<void(const uint8_t*, size_t)>& out);

 private:
  void Store(const uint8_t* data, size_t count);

  SpillMaker makeSpill_;
  size_t memoryLimit_;
  uint64_t sizeLimit_;
  std::string who_;
  uint64_t size_ = 0;
  uint8_t block_[kPayloadBlockSize];
  size_t blockFill_ = 0;
  std::vector<std::vector<uint8_t>> memory_;
  size_t inMemory_ = 0;
  std::unique_ptr<PayloadSpill> spill_;
};
