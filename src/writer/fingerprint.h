// The fingerprint of a previous version: sampled bytes the engine compares in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file.h"

// Returns the fingerprint of the previous version `file` holds, of `size` bytes, for
// `sampleCount` pairs of `sampleLength` bytes: for pair i, the bytes at 2*i*step stored last
// byte first, then the DWORD sum of the bytes at (2*i+1)*step, with
// step = size / (2 * sampleCount). Bytes past the end of the file count as 0. Reads only the
// samples. REQUIRES: sampleCount >= 1.
std::vector<uint8_t> ComputeFingerprint(CFile& file, uint32_t size, uint16_t sampleCount,
                                        uint16_t sampleLength);

// The same for a previous version held in memory.
std::vector<uint8_t> ComputeFingerprint(const std::vector<uint8_t>& previous, uint16_t sampleCount,
                                        uint16_t sampleLength);
