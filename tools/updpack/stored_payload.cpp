#include "stored_payload.h"

#include <algorithm>

#include "pack.h"

StoredPayload::StoredPayload(std::string scratchNear, size_t memoryLimit, uint64_t sizeLimit,
                             std::string who)
    : scratchNear_(std::move(scratchNear)),
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
  size_t inMemory = std::min(count, memoryLimit_ - memory_.size());
  memory_.insert(memory_.end(), data, data + inMemory);
  if (inMemory == count) return;
  if (!scratch_) scratch_ = std::make_unique<ScratchFile>(scratchNear_);
  scratch_->Write(data + inMemory, count - inMemory);
}

void StoredPayload::Drain(const std::function<void(const uint8_t*, size_t)>& out) {
  if (!memory_.empty()) out(memory_.data(), memory_.size());
  if (!scratch_) return;
  std::vector<uint8_t> buffer(64 * 1024);
  while (size_t n = scratch_->ReadBack(buffer.data(), buffer.size())) out(buffer.data(), n);
}
