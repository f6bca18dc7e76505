#include "engine/payload_order.h"

#include <algorithm>

void ReverseBytes(uint8_t* buffer, size_t count) {
  if (count > 1) std::reverse(buffer, buffer + count);
}

void ReverseBlocks(std::vector<uint8_t>& bytes) {
  for (size_t at = 0; at < bytes.size(); at += kPayloadBlockSize) {
    ReverseBytes(bytes.data() + at, std::min(kPayloadBlockSize, bytes.size() - at));
  }
}
