// Where a fingerprint's samples lie in a previous version: the layout the build tool writes
// and the inspection compares, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

// The most of a fingerprint the comparison can read: 65535 samples of 1024 bytes and their
// sums. The load keeps no more of one in memory.
constexpr size_t kMaxFingerprintLength = 65535u * (1024u + 4u);

// The distance between samples in a previous version of `size` bytes: pair i's copied
// sample sits at 2*i*step and its summed one at (2*i+1)*step. REQUIRES: sampleCount >= 1.
uint64_t SampleStep(uint32_t size, uint16_t sampleCount);

// Whether the samples of a previous version of `size` bytes stay apart: the step is at least
// the sample length and not 0. Overlapping samples look at fewer bytes than they seem to (at
// step 0 every one sits at offset 0), so a changed file would pass for the previous version:
// updpack builds no such fingerprint, and the comparison matches nothing with one.
bool SamplesFit(uint32_t size, uint16_t sampleCount, uint16_t sampleLength);

// `count` bytes of `file` from `pos`, zeros past its end.
void ReadSample(CFile& file, uint64_t pos, uint8_t* buffer, size_t count);
