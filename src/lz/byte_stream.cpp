// The in-memory byte source of the SZDD codec, so tests and fuzzers can feed the
// expander without files.
#include <cstring>

#include "lz/szdd.h"

size_t MemorySource::Read(uint8_t* buffer, size_t count) {
  size_t available = size_ - pos_;
  size_t n = count < available ? count : available;
  if (n > 0) std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return n;
}
