// Expands arbitrary bytes, then compresses them and expands the result. A crash, a
// sanitizer report, or any broken invariant below (abort) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lz/szdd.h"

namespace {

std::vector<uint8_t> Expand(const uint8_t* data, size_t size, SzddResult* result) {
  std::vector<uint8_t> out;
  MemorySource source(data, size);
  VectorSink sink(out);
  *result = SzddExpand(source, sink);
  if (result->written != out.size()) std::abort();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SzddResult result;
  std::vector<uint8_t> out = Expand(data, size, &result);
  bool hasSignature = size >= sizeof kSzddSignature &&
                      std::memcmp(data, kSzddSignature, sizeof kSzddSignature) == 0;
  if (!hasSignature) {
    // Copied unchanged.
    if (!result.ok || out.size() != size || (size > 0 && std::memcmp(out.data(), data, size))) {
      std::abort();
    }
  } else if (result.ok) {
    // A whole header, then at most 18 bytes out of every 2 in.
    if (size < kSzddHeaderSize || out.size() > 9 * (size - kSzddHeaderSize)) std::abort();
  } else if (!out.empty()) {
    std::abort();
  }

  std::vector<uint8_t> packed = SzddCompress(data, size, 'x');
  std::vector<uint8_t> back = Expand(packed.data(), packed.size(), &result);
  if (!result.ok || back.size() != size || (size > 0 && std::memcmp(back.data(), data, size))) {
    std::abort();
  }
  return 0;
}
