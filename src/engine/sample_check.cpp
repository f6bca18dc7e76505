#include "engine/sample_check.h"

#include <cstring>

#include "engine/payload_order.h"

namespace {

constexpr size_t kSampleBuffer = 1024;

// Reads up to `count` bytes, as many reads as it takes; returns how many came.
size_t ReadFully(CFile& file, uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    size_t n = file.Read(buffer + done, count - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

// `count` bytes of the installed file from `pos`, zeros past its end.
void ReadSample(CFile& installed, uint64_t pos, uint8_t* buffer, size_t count) {
  installed.SeekAbsolute(pos);
  size_t got = ReadFully(installed, buffer, count);
  std::memset(buffer + got, 0, count - got);
}

}  // namespace

UpdateError SampleCheck(CFile& installed, CFile& updateFile, uint32_t offset, uint32_t size,
                        uint16_t sampleCount, uint16_t sampleLength) {
  if (sampleCount == 0 || sampleLength > kSampleBuffer) return previousVersionNotCompatible;
  const uint64_t step = size / (2u * sampleCount);
  uint8_t sample[kSampleBuffer];
  uint8_t stored[kSampleBuffer];
  updateFile.SeekAbsolute(offset);
  uint64_t pos = 0;
  for (uint16_t i = 0; i < sampleCount; ++i) {
    ReadSample(installed, pos, sample, sampleLength);
    ReverseBytes(sample, sampleLength);
    if (ReadFully(updateFile, stored, sampleLength) != sampleLength ||
        std::memcmp(sample, stored, sampleLength) != 0) {
      return previousVersionNotCompatible;
    }
    pos += step;
    ReadSample(installed, pos, sample, sampleLength);
    uint32_t sum = 0;
    for (size_t k = 0; k < sampleLength; ++k) sum += sample[k];
    uint8_t word[4];
    if (ReadFully(updateFile, word, 4) != 4) return previousVersionNotCompatible;
    uint32_t want =
        word[0] | (word[1] << 8) | (word[2] << 16) | (static_cast<uint32_t>(word[3]) << 24);
    if (sum != want) return previousVersionNotCompatible;
    pos += step;
  }
  return none;
}
