#include "writer/fingerprint.h"

#include "model/samples.h"

std::vector<uint8_t> ComputeFingerprint(CFile& file, uint32_t size, uint16_t sampleCount,
                                        uint16_t sampleLength) {
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(sampleCount) * (sampleLength + 4u));
  const uint64_t step = SampleStep(size, sampleCount);
  std::vector<uint8_t> sample(sampleLength);
  for (uint64_t i = 0; i < sampleCount; ++i) {
    ReadSample(file, 2 * i * step, sample.data(), sampleLength);
    block.insert(block.end(), sample.rbegin(), sample.rend());
    ReadSample(file, (2 * i + 1) * step, sample.data(), sampleLength);
    uint32_t sum = 0;
    for (uint8_t b : sample) sum += b;
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
