#include "engine/sample_check.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "model/payload_order.h"
#include "model/samples.h"

namespace {

constexpr size_t kSampleBuffer = 1024;
// Samples that all lie in the first this many bytes (those of a small file) are read in one
// read, not one seek and one read each.
constexpr uint64_t kOneRead = 64 * 1024;

// The installed file's sampled bytes, as ReadSample gives them.
class Samples {
 public:
  Samples(CFile& file, uint64_t end) : file_(file) {
    if (end > kOneRead) return;
    span_.resize(end);
    ReadSample(file, 0, span_.data(), span_.size());
  }
  void Read(uint64_t pos, uint8_t* out, size_t count) {
    if (span_.empty()) {
      ReadSample(file_, pos, out, count);
    } else {
      std::memcpy(out, span_.data() + pos, count);
    }
  }

 private:
  CFile& file_;
  std::vector<uint8_t> span_;
};

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
  Samples samples(installed, (2 * sampleCount - 1) * step + sampleLength);
  uint64_t pos = 0;
  for (uint16_t i = 0; i < sampleCount; ++i) {
    samples.Read(pos, sample, sampleLength);
    ReverseBytes(sample, sampleLength);
    if (std::memcmp(sample, stored, sampleLength) != 0) return previousVersionNotCompatible;
    stored += sampleLength;
    pos += step;
    samples.Read(pos, sample, sampleLength);
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
