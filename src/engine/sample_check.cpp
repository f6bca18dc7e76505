#include "engine/sample_check.h"

#include <algorithm>
#include <cstring>

#include "model/payload_order.h"
#include "model/samples.h"

namespace {

constexpr size_t kSampleBuffer = 1024;

// The fingerprint, read in sequence through one buffer of 1024 bytes, never past its end:
// a read per 1024 bytes rather than one per sample and per sum.
class FingerprintReader {
 public:
  FingerprintReader(CFile& file, uint32_t offset, uint32_t length) : file_(file), left_(length) {
    file_.SeekAbsolute(offset);
  }
  // Copies the next `count` bytes to `out`; false when the update file ends first.
  bool Take(uint8_t* out, size_t count) {
    while (count > 0) {
      if (at_ == end_) {
        size_t want = std::min<size_t>(left_, kSampleBuffer);
        end_ = ReadFully(file_, buffer_, want);
        at_ = 0;
        left_ -= static_cast<uint32_t>(end_);
        if (end_ == 0) return false;
      }
      size_t n = std::min(count, end_ - at_);
      std::memcpy(out, buffer_ + at_, n);
      at_ += n;
      out += n;
      count -= n;
    }
    return true;
  }

 private:
  CFile& file_;
  uint32_t left_;  // fingerprint bytes not yet read from the file
  uint8_t buffer_[kSampleBuffer];
  size_t at_ = 0;
  size_t end_ = 0;
};

}  // namespace

UpdateError SampleCheck(CFile& installed, CFile& updateFile, uint32_t offset, uint32_t size,
                        uint16_t sampleCount, uint16_t sampleLength) {
  if (sampleCount == 0 || sampleLength > kSampleBuffer) return previousVersionNotCompatible;
  const uint64_t step = SampleStep(size, sampleCount);
  uint8_t sample[kSampleBuffer];
  uint8_t stored[kSampleBuffer];
  FingerprintReader fingerprint(updateFile, offset, sampleCount * (sampleLength + 4u));
  uint64_t pos = 0;
  for (uint16_t i = 0; i < sampleCount; ++i) {
    ReadSample(installed, pos, sample, sampleLength);
    ReverseBytes(sample, sampleLength);
    if (!fingerprint.Take(stored, sampleLength) || std::memcmp(sample, stored, sampleLength) != 0) {
      return previousVersionNotCompatible;
    }
    pos += step;
    ReadSample(installed, pos, sample, sampleLength);
    uint32_t sum = 0;
    for (size_t k = 0; k < sampleLength; ++k) sum += sample[k];
    uint8_t word[4];
    if (!fingerprint.Take(word, 4)) return previousVersionNotCompatible;
    uint32_t want =
        word[0] | (word[1] << 8) | (word[2] << 16) | (static_cast<uint32_t>(word[3]) << 24);
    if (sum != want) return previousVersionNotCompatible;
    pos += step;
  }
  return none;
}
