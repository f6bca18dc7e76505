#include "model/samples.h"

#include <cstring>

uint64_t SampleStep(uint32_t size, uint16_t sampleCount) { return size / (2u * sampleCount); }

bool SamplesFit(uint32_t size, uint16_t sampleCount, uint16_t sampleLength) {
  if (sampleCount == 0) return false;
  uint64_t step = SampleStep(size, sampleCount);
  return step > 0 && step >= sampleLength;
}

void ReadSample(CFile& file, uint64_t pos, uint8_t* buffer, size_t count) {
  size_t got = file.ReadAt(pos, buffer, count);
  if (got < count) std::memset(buffer + got, 0, count - got);
}
