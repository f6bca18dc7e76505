// Loads arbitrary bytes as an update document, integrity record included, once as a product
// without a key does and once as one that requires the tests' vendor key (tests/data/trust,
// whose signed update is among the seeds). Any CException is a refusal, which is fine; a
// crash, a sanitizer report, a leak or another exception is a finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/document.h"
#include "support/trust_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFile file(std::vector<uint8_t>(data, data + size), "C:\\FUZZ\\input.upd");
  VEzorazEdo doc;
  try {
    doc.EnsureLoaded(file);
  } catch (const CException&) {
  }
  // Reading twice must append or stay put, never misbehave.
  try {
    doc.EnsureLoaded(file);
  } catch (const CException&) {
  }
  static const TrustRequirement vendorKey = RequireKeyIn("vendor.txt");
  VEzorazEdo trusting;
  trusting.trust = vendorKey;
  try {
    trusting.EnsureLoaded(file);
  } catch (const CException&) {
  }
  return 0;
}
