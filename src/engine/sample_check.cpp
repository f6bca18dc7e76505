#include "engine/sample_check.h"

#include <algorithm>
#include <cstring>

#include "model/payload_order.h"
#include "model/samples.h"

namespace {

constexpr size_t kSampleBuffer = 1024;

}  // namespace

UpdateError SampleCheck(CFile& installed, const std::vector<uint8_t>& fingerprint, uint32_t size,
                        uint16_t sampleCount, uint16_t sampleLength) {
  if (sampleLength > kSampleBuffer || !SamplesFit(size, sampleCount, sampleLength)) {
    return previousVersionNotCompatible;
  }
  // A fingerprint cut short matches nothing.
  if (fingerprint.size() < static_cast<size_t>(sampleCount) * (sampleLength + 4u)) {
    return previousVersionNotCompatible;
  }
  const uint64_t step = SampleStep(size, sampleCount);
  uint8_t sample[kSampleBuffer];
  const uint8_t* stored = fingerprint.data();
  uint64_t pos = 0;
  for (uint16_t i = 0; i < sampleCount; ++i) {
    ReadSample(installed, pos, sample, sampleLength);
    ReverseBytes(sample, sampleLength);
    if (std::memcmp(sample, stored, sampleLength) != 0) return previousVersionNotCompatible;
    stored += sampleLength;
    pos += step;
    ReadSample(installed, pos, sample, sampleLength);
    uint32_t sum = 0;
    for (size_t k = 0; k < sampleLength; ++k) sum += sample[k];
    uint32_t want =
        stored[0] | (stored[1] << 8) | (stored[2] << 16) | (static_cast<uint32_t>(stored[3]) << 24);
    if (sum != want) return previousVersionNotCompatible;
    stored += 4;
    pos += step;
  }
  return none;
}
