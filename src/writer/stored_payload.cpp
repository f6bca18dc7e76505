#include "writer/stored_payload.h"

#include <algorithm>

#include "lz/szdd.h"
#include "writer/pack_error.h"

std::vector<uint8_t> StoreContents(const std::vector<uint8_t>& data, char lastNameChar) {
  std::vector<uint8_t> stored = SzddCompress(data.data(), data.size(), lastNameChar);
  ReverseBlocks(stored);
  return stored;
}

StoredPayload::StoredPayload(SpillMaker makeSpill, size_t memoryLimit, uint64_t sizeLimit,
                             std::string who)
    : makeSpill_(std::move(makeSpill)),
      memoryLimit_(memoryLimit),
      sizeLimit_(sizeLimit),
      who_(std::move(who)) {}

void StoredPayload::Write(const uint8_t* data, size_t count) {
  if (size_ + count > sizeLimit_) {
    throw PackError(who_ + " compresses to more than " + std::to_string(sizeLimit_) +
                    " bytes, more than the updater reads for one file; leave it out of the "
                    "update");
  }
  size_ += count;
  while (count > 0) {
    size_t n = std::min(count, kPayloadBlockSize - blockFill_);
    std::copy(data, data + n, block_ + blockFill_);
    blockFill_ += n;
    data += n;
    count -= n;
    if (blockFill_ == kPayloadBlockSize) Finish();
  }
}

void StoredPayload::Finish() {
  ReverseBytes(block_, blockFill_);
  Store(block_, blockFill_);
  blockFill_ = 0;
}

void StoredPayload::Store(const uint8_t* data, size_t count) {
  // In pieces of fixed size: a growing vector would hold up to twice what it keeps.
  constexpr size_t kPiece = 64 * 1024;
  while (count > 0 && inMemory_ < memoryLimit_) {
    if (memory_.empty() || memory_.back().size() == kPiece) {
      memory_.emplace_back();
      memory_.back().reserve(kPiece);
    }
    std::vector<uint8_t>& piece = memory_.back();
    size_t n = std::min({count, kPiece - piece.size(), memoryLimit_ - inMemory_});
    piece.insert(piece.end(), data, data + n);
    inMemory_ += n;
    data += n;
    count -= n;
  }
  if (count == 0) return;
  if (!spill_) spill_ = makeSpill_();
  spill_->Write(data, count);
}

void StoredPayload::Drain(const std::function<void(const uint8_t*, size_t)>& out) {
  for (const std::vector<uint8_t>& piece : memory_) out(piece.data(), piece.size());
  if (!spill_) return;
  std::vector<uint8_t> buffer(64 * 1024);
  while (size_t n = spill_->ReadBack(buffer.data(), buffer.size())) out(buffer.data(), n);
}
