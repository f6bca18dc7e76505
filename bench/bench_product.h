// What the native benchmarks share: products made of pairs of program files (an old version
// and the new one made from it, from the system's real Windows binaries where there are
// some), small file helpers and, from timed_child.h, timed child processes. Every failure
// ends the benchmark with a message: a benchmark has nothing to recover.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "timed_child.h"

namespace bench {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOldMS = 0x00010000;  // 1.0.0.0
constexpr uint32_t kNewMS = 0x00010001;  // 1.1.0.0

double Since(std::chrono::steady_clock::time_point start);

// Writes `bytes` to `path`, or ends the benchmark.
void WriteBytes(const std::string& path, const Bytes& bytes);

bool SameContents(const std::string& a, const std::string& b);

// Real Windows and Linux binaries to make products of, read in order and cycled.
class SamplePool {
 public:
  SamplePool();
  bool empty() const { return files_.empty(); }
  int headsServed = 0;  // files begun with a real image

  // A whole PE image of at most `limit` bytes from the pool, searched from `start` on, with
  // its version set; empty when no such file has a version resource to set.
  Bytes Head(size_t start, uint32_t versionMS, size_t limit);
  // Appends the next `count` bytes of the pool's concatenation.
  void Append(Bytes& out, size_t count);

 private:
  struct Sample {
    std::string path;
    uint64_t size;
    int state;  // 0 not tried, 1 usable as a head, -1 not
  };
  std::vector<Sample> files_;
  size_t file_ = 0;
  uint64_t offset_ = 0;
};

// The old version of file `index` (`size` bytes, version 1.0) and the new one made from it:
// version 1.1, a few bytes changed in every 64 KB, and for odd files 4 KB more.
void MakePair(SamplePool& pool, int index, size_t size, std::mt19937& random, Bytes& oldBytes,
              Bytes& newBytes);

// `count` file sizes, spread log-uniformly over [smallest, largest] and scaled to add up to
// about `total` bytes (none below 1 KB).
std::vector<size_t> FileSizes(int count, double total, size_t smallest, size_t largest,
                              std::mt19937& random);

// Takes the options `--files N` and `--product DIR` off the end of `args`, into `files` and
// `product`.
void TakeOptions(std::vector<std::string>& args, int* files, std::string* product);

// Ends the benchmark with `what`, named after the program.
[[noreturn]] void Fail(const std::string& what);

}  // namespace bench
