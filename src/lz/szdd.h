// The SZDD compressed-file format: LZSS with a 4096-byte window that starts filled with
// spaces, written at position 4096 - 16. Streaming compressor for the build tool, streaming
// expander for the engine's POSIX backend and for checking update files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lz/byte_stream.h"

// "SZDD" 88 F0 27 33, then mode 'A', the missing last character of the name and the
// unpacked length (DWORD): 14 header bytes.
constexpr uint8_t kSzddSignature[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr size_t kSzddHeaderSize = 14;

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(uint8_t* buffer, size_t count) override;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class VectorSink : public ByteSink {
 public:
  explicit VectorSink(std::vector<uint8_t>& out) : out_(out) {}
  void Write(const uint8_t* data, size_t count) override {
    out_.insert(out_.end(), data, data + count);
  }

 private:
  std::vector<uint8_t>& out_;
};

// Writes to `out` the SZDD file for the `size` bytes read from `in`, reading no byte past
// them, in constant memory (under half a megabyte) whatever the size. `missingChar` is the
// last character of the original file name, recorded in the header (0 when not known).
// Returns false, the file written only in part, when `in` ends before `size` bytes.
// Raises whatever `in` or `out` raises.
bool SzddCompress(ByteSource& in, uint64_t size, ByteSink& out, char missingChar = 0);

// Returns the SZDD file for `size` bytes at `data`: the same bytes as the streaming form.
std::vector<uint8_t> SzddCompress(const uint8_t* data, size_t size, char missingChar = 0);

// Result of an expansion.
struct SzddResult {
  bool ok;           // false: the input was refused (see SzddExpand)
  uint64_t written;  // bytes written to the sink
};

// Expands `in` to `out` in constant memory. Input that does not begin with the SZDD
// signature is copied unchanged. The header's length field is not trusted: the stream is
// decoded to the end of the input. Never reads or writes out of bounds whatever the input.
// Damaged input, decided as libmspack's SZDD decompressor decides it: the signature with
// fewer than 14 header bytes, or a mode other than 'A', is refused (ok false, nothing
// written); a stream that ends inside a match (one byte of its two) ends the output
// before that match and succeeds. Raises whatever `in` or `out` raises.
SzddResult SzddExpand(ByteSource& in, ByteSink& out);
