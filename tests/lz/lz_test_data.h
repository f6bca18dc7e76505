// Inputs for the SZDD codec tests: deterministic generators of the kinds of bytes an
// update carries (text, code-like images, random and repetitive data) and small helpers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "lz/szdd.h"

namespace lztest {

// A small fixed generator, so every platform builds the same bytes.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

inline std::vector<uint8_t> RandomBytes(size_t size, uint64_t seed) {
  Random random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random.Next());
  return bytes;
}

inline std::vector<uint8_t> Text(size_t size, uint64_t seed = 1) {
  static const char* const kWords[] = {
      "update", "file",   "version", "installed", "product", "the",  "of",    "and",
      "vendor", "checks", "older",   "replaces",  "keeping", "user", "asks",  "previous",
      "window", "dialog", "a",       "to",        "is",      "in",   "every", "one"};
  Random random(seed);
  std::vector<uint8_t> bytes;
  bytes.reserve(size + 16);
  while (bytes.size() < size) {
    const char* word = kWords[random.Below(sizeof kWords / sizeof kWords[0])];
    bytes.insert(bytes.end(), word, word + std::strlen(word));
    bytes.push_back(random.Below(12) == 0 ? '\n' : ' ');
  }
  bytes.resize(size);
  return bytes;
}

// Short patterns repeated with runs between them: long matches at many distances.
inline std::vector<uint8_t> Repetitive(size_t size, uint64_t seed = 2) {
  Random random(seed);
  std::vector<uint8_t> bytes;
  bytes.reserve(size + 64);
  while (bytes.size() < size) {
    size_t period = 1 + random.Below(40);
    size_t count = 1 + random.Below(30);
    std::vector<uint8_t> pattern(period);
    for (auto& b : pattern) b = static_cast<uint8_t>('A' + random.Below(4));
    for (size_t k = 0; k < count; ++k) bytes.insert(bytes.end(), pattern.begin(), pattern.end());
    bytes.insert(bytes.end(), random.Below(64), static_cast<uint8_t>(random.Below(3)));
  }
  bytes.resize(size);
  return bytes;
}

// Shaped like a Windows executable: headers, a code section of recurring instruction
// sequences with varying operands, import names, and zero padding between sections.
inline std::vector<uint8_t> PeLike(size_t size, uint64_t seed = 3) {
  Random random(seed);
  std::vector<uint8_t> bytes(0x400, 0);
  const char kStub[] = "MZ\x90\0\3\0\0\0\4\0\0\0\xff\xff";
  std::memcpy(bytes.data(), kStub, sizeof kStub - 1);
  const char kMessage[] = "This program cannot be run in DOS mode.\r\r\n$";
  std::memcpy(bytes.data() + 0x4E, kMessage, sizeof kMessage - 1);
  bytes[0x3C] = 0x80;
  std::memcpy(bytes.data() + 0x80, "PE\0\0\x4c\x01\x03\0", 8);
  std::memcpy(bytes.data() + 0x178, ".text\0\0\0", 8);
  std::memcpy(bytes.data() + 0x1A0, ".rdata\0\0", 8);
  std::memcpy(bytes.data() + 0x1C8, ".rsrc\0\0\0", 8);
  static const uint8_t kIdioms[][8] = {
      {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0, 0, 0}, {0x8B, 0x45, 0, 0x50, 0xE8, 0, 0, 0},
      {0x5D, 0xC2, 0, 0, 0, 0, 0, 0},          {0x89, 0x45, 0, 0x8B, 0x4D, 0, 0, 0},
      {0xFF, 0x15, 0, 0, 0x40, 0, 0, 0},       {0x33, 0xC0, 0xC3, 0xCC, 0xCC, 0, 0, 0},
  };
  size_t codeEnd = size * 6 / 10;
  while (bytes.size() < codeEnd) {
    const uint8_t* idiom = kIdioms[random.Below(6)];
    for (int k = 0; k < 8; ++k) {
      bytes.push_back(idiom[k] != 0 || random.Below(2) ? idiom[k]
                                                       : static_cast<uint8_t>(random.Next()));
    }
  }
  static const char* const kImports[] = {"GetProcAddress", "LoadLibraryA", "CreateFileA",
                                         "ReadFile",       "CloseHandle",  "GetLastError",
                                         "lstrcpynA",      "MessageBoxA",  "RegOpenKeyExA"};
  while (bytes.size() < size) {
    if (random.Below(8) == 0) bytes.resize(bytes.size() + 16 * (1 + random.Below(32)), 0);
    const char* name = kImports[random.Below(9)];
    bytes.push_back(static_cast<uint8_t>(random.Next()));
    bytes.push_back(0);
    bytes.insert(bytes.end(), name, name + std::strlen(name) + 1);
  }
  bytes.resize(size);
  return bytes;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A source that returns between 1 and `most` bytes per call, like a slow pipe.
class TrickleSource : public ByteSource {
 public:
  explicit TrickleSource(const std::vector<uint8_t>& bytes, uint32_t most = 7)
      : bytes_(bytes), most_(most) {}
  size_t Read(uint8_t* buffer, size_t count) override {
    size_t n = std::min({count, bytes_.size() - pos, size_t{1} + random_.Below(most_)});
    std::copy(bytes_.begin() + pos, bytes_.begin() + pos + n, buffer);
    pos += n;
    return n;
  }
  size_t pos = 0;

 private:
  const std::vector<uint8_t>& bytes_;
  uint32_t most_;
  Random random_{4};
};

// Expands `input` into a vector; `ok` receives the result's flag.
inline std::vector<uint8_t> Expand(const std::vector<uint8_t>& input, bool* ok = nullptr) {
  std::vector<uint8_t> out;
  MemorySource source(input.data(), input.size());
  VectorSink sink(out);
  SzddResult result = SzddExpand(source, sink);
  if (ok) *ok = result.ok;
  return out;
}

inline std::vector<uint8_t> Compress(const std::vector<uint8_t>& input, char missing = 0) {
  return SzddCompress(input.data(), input.size(), missing);
}

// The whole file at `path`, or nothing when it cannot be read.
inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::streamoff size = in.tellg();
  if (size <= 0) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (!in) return {};
  return bytes;
}

}  // namespace lztest
