#include "fingerprint.h"

namespace {

// The `length` bytes at `offset`, zeros past the end of the file.
std::vector<uint8_t> Sample(CFile& file, uint64_t offset, uint16_t length) {
  std::vector<uint8_t> bytes(length, 0);
  file.SeekAbsolute(offset);
  for (size_t done = 0; done < length;) {
    size_t n = file.Read(bytes.data() + done, length - done);
    if (n == 0) break;
    done += n;
  }
  return bytes;
}

}  // namespace

std::vector<uint8_t> ComputeFingerprint(CFile& file, uint32_t size, uint16_t sampleCount,
                                        uint16_t sampleLength) {
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(sampleCount) * (sampleLength + 4u));
  const uint64_t step = size / (2u * sampleCount);
  for (uint64_t i = 0; i < sampleCount; ++i) {
    std::vector<uint8_t> copied = Sample(file, 2 * i * step, sampleLength);
    block.insert(block.end(), copied.rbegin(), copied.rend());
    uint32_t sum = 0;
    for (uint8_t b : Sample(file, (2 * i + 1) * step, sampleLength)) sum += b;
    for (int b = 0; b < 4; ++b) block.push_back(static_cast<uint8_t>(sum >> (8 * b)));
  }
  return block;
}

std::vector<uint8_t> ComputeFingerprint(const std::vector<uint8_t>& previous, uint16_t sampleCount,
                                        uint16_t sampleLength) {
  MemoryFile file(previous);
  return ComputeFingerprint(file, static_cast<uint32_t>(previous.size()), sampleCount,
                            sampleLength);
}
