// The fingerprint of a previous version: sampled bytes the engine compares in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Returns the fingerprint of `previous` (the whole previous version) for `sampleCount`
// pairs of `sampleLength` bytes: for pair i, the bytes at 2*i*step stored last byte first,
// then the DWORD sum of the bytes at (2*i+1)*step, with step = size / (2 * sampleCount).
// Bytes past the end of the file count as 0. REQUIRES: sampleCount >= 1.
std::vector<uint8_t> ComputeFingerprint(const std::vector<uint8_t>& previous, uint16_t sampleCount,
                                        uint16_t sampleLength);
