// Reads the version resource of arbitrary bytes. A memory file raises nothing, so any
// exception, crash, sanitizer report or leak is a finding; true or false are both fine.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file.h"
#include "platform/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFile file(std::vector<uint8_t>(data, data + size), "C:\\FUZZ\\input.dll");
  uint32_t ms = 0;
  uint32_t ls = 0;
  ReadPeFileVersion(file, &ms, &ls);
  return 0;
}
