#include "engine/payload_order.h"

#include <algorithm>
#include <cstring>

void ReverseBytes(uint8_t* buffer, size_t count) {
  if (count > 1) std::reverse(buffer, buffer + count);
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
