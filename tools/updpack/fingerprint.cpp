#include "fingerprint.h"

static uint8_t ByteAt(const std::vector<uint8_t>& data, uint64_t offset) {
  return offset < data.size() ? data[static_cast<size_t>(offset)] : 0;
}

std::vector<uint8_t> ComputeFingerprint(const std::vector<uint8_t>& previous, uint16_t sampleCount,
                                        uint16_t sampleLength) {
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(sampleCount) * (sampleLength + 4u));
  const uint64_t size = static_cast<uint32_t>(previous.size());
  const uint64_t step = size / (2u * sampleCount);
  for (uint64_t i = 0; i < sampleCount; ++i) {
    uint64_t copyAt = 2 * i * step;
    for (uint64_t k = sampleLength; k > 0; --k) block.push_back(ByteAt(previous, copyAt + k - 1));
    uint64_t sumAt = (2 * i + 1) * step;
    uint32_t sum = 0;
    for (uint64_t k = 0; k < sampleLength; ++k) sum += ByteAt(previous, sumAt + k);
    for (int b = 0; b < 4; ++b) block.push_back(static_cast<uint8_t>(sum >> (8 * b)));
  }
  return block;
}
