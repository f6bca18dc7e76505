// Byte streams: how codecs, the engine and the platform's LZ expansion hand bytes to each
// other without files, so a test or a fuzzer can feed any of them from memory.
#pragma once

#include <cstddef>
#include <cstdint>

// A stream of input bytes. Read returns how many bytes it put into `buffer` (0 at the end).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual size_t Read(uint8_t* buffer, size_t count) = 0;
};

// A stream of output bytes. Write takes all `count` bytes or raises.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const uint8_t* data, size_t count) = 0;
};
