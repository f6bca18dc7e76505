// What updpack refuses in a file entry once its files are read.
#pragma once

#include <cstdint>
#include <string>

#include "writer/document_writer.h"

// A fingerprint's shape: `count` pairs of samples of `length` bytes.
struct SampleParameters {
  uint16_t count = 0;
  uint16_t length = 0;
};

// model/samples.h's SamplesFit for `samples`.
bool SamplesFit(uint32_t size, SampleParameters samples);

// `wanted` if it fits `size`, else the largest parameters below it that do: fewer samples
// first, then shorter ones. {0, 0} when none fit (a file under 2 bytes).
SampleParameters FittingSamples(uint32_t size, SampleParameters wanted);

// Why the updater would never lay a file of version `expected` over `previous`, or "" when
// it would: only an installed file older by CFileStamp::CompareVersion is replaced.
std::string NotOlderProblem(const CFileStamp& previous, const CFileStamp& expected);

// Raises PackError naming `where` (files[i].previous[k]) and saying what to do when `order`
// cannot join `item`'s previous versions: it is not older than the new version, the updater
// cannot tell it from one already in `item`, or its samples would overlap.
// `byIdentity`: the versions are known by their bytes (exact matching, or a file without a
// version resource), so neither samples nor two files without a version resource are a
// problem. `removal`: the entry removes the file, so no version is compared.
void CheckPrevious(const ItemPlan& item, const OrderPlan& order, SampleParameters samples,
                   const std::string& where, bool byIdentity = false, bool removal = false);
