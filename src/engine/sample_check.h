// The fingerprint comparison: a handful of sampled byte ranges of the installed file
// against the samples the update file carries for one previous version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/update_error.h"
#include "model/file_stamp.h"
#include "platform/file.h"

// Version first, then size: none, differentVersion or differentSize. Time takes no part.
UpdateError MatchStamp(const CFileStamp& installed, const CFileStamp& candidate);

// Compares `sampleCount` pairs of `sampleLength` bytes of `installed` (step = size /
// (2 * sampleCount)) with `fingerprint`, the bytes the load read: the first sample of a pair
// reversed, the second as a 32-bit byte sum. Installed bytes past its end count as 0; a
// fingerprint shorter than the pairs does not match. Returns none or
// previousVersionNotCompatible, also for sampleCount 0, sampleLength above 1024, and samples
// that overlap (SamplesFit).
UpdateError SampleCheck(CFile& installed, const std::vector<uint8_t>& fingerprint, uint32_t size,
                        uint16_t sampleCount, uint16_t sampleLength);
