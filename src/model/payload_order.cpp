#include "model/payload_order.h"

#include <algorithm>
#include <cstring>

namespace {

uint64_t SwapBytes(uint64_t word) {
  word = ((word & 0x00FF00FF00FF00FFull) << 8) | ((word >> 8) & 0x00FF00FF00FF00FFull);
  word = ((word & 0x0000FFFF0000FFFFull) << 16) | ((word >> 16) & 0x0000FFFF0000FFFFull);
  return (word << 32) | (word >> 32);
}

}  // namespace

void ReverseBytes(uint8_t* buffer, size_t count) {
  // Every stored byte passes through here: eight at a time from both ends, each word's
  // bytes swapped, is several times faster than one at a time.
  size_t front = 0;
  size_t back = count;
  while (back - front >= 16) {
    uint64_t head;
    uint64_t tail;
    std::memcpy(&head, buffer + front, 8);
    std::memcpy(&tail, buffer + back - 8, 8);
    head = SwapBytes(head);
    tail = SwapBytes(tail);
    std::memcpy(buffer + front, &tail, 8);
    std::memcpy(buffer + back - 8, &head, 8);
    front += 8;
    back -= 8;
  }
  std::reverse(buffer + front, buffer + back);
}

void ReverseBlocks(std::vector<uint8_t>& bytes) {
  for (size_t at = 0; at < bytes.size(); at += kPayloadBlockSize) {
    ReverseBytes(bytes.data() + at, std::min(kPayloadBlockSize, bytes.size() - at));
  }
}

StoredContents::StoredContents(CFile& file, uint32_t offset, uint32_t size)
    : file_(file), left_(size) {
  file_.SeekAbsolute(offset);
}

size_t StoredContents::Read(uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (blockAt_ < blockEnd_) {
      size_t n = std::min(blockEnd_ - blockAt_, count - done);
      std::memcpy(buffer + done, block_ + blockAt_, n);
      blockAt_ += n;
      done += n;
      continue;
    }
    if (left_ == 0 || cut_) break;
    size_t want = count - done;
    if (want >= left_ || want >= kPayloadBlockSize) {
      // Taking everything left, or whole blocks only, keeps every later take on a block's
      // first byte.
      size_t n = want >= left_ ? left_ : want - want % kPayloadBlockSize;
      if (!Take(buffer + done, n)) break;
      done += n;
    } else {
      size_t n = std::min<size_t>(left_, kPayloadBlockSize);
      if (!Take(block_, n)) break;
      blockAt_ = 0;
      blockEnd_ = n;
    }
  }
  return done;
}

bool StoredContents::Take(uint8_t* out, size_t count) {
  size_t got = 0;
  while (got < count) {
    size_t n = file_.Read(out + got, count - got);
    if (n == 0) {
      cut_ = true;
      return false;
    }
    got += n;
  }
  for (size_t at = 0; at < count; at += kPayloadBlockSize) {
    ReverseBytes(out + at, std::min(kPayloadBlockSize, count - at));
  }
  left_ -= static_cast<uint32_t>(count);
  return true;
}
