#include "bench_product.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/file.h"
#include "platform/pe_version.h"
#include "support/pe_builder.h"

namespace fs = std::filesystem;

namespace bench {

namespace {

Bytes ReadRange(const std::string& path, uint64_t offset, size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  Bytes bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

// Sets the version of the first VS_FIXEDFILEINFO that ReadPeFileVersion finds in `bytes`.
// Returns false when the image has no readable version or the patch does not read back.
bool PatchVersion(Bytes& bytes, uint32_t versionMS, uint32_t versionLS) {
  uint32_t ms = 0, ls = 0;
  {
    MemoryFile file(bytes);
    if (!ReadPeFileVersion(file, &ms, &ls)) return false;
  }
  auto get32 = [&](size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 static_cast<uint32_t>(bytes[at + 3]) << 24);
  };
  auto put32 = [&](size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(value >> (8 * k));
  };
  for (size_t at = 0; at + 16 <= bytes.size(); at += 4) {
    if (get32(at) == 0xFEEF04BDu && get32(at + 8) == ms && get32(at + 12) == ls) {
      put32(at + 8, versionMS);
      put32(at + 12, versionLS);
      MemoryFile check(bytes);
      return ReadPeFileVersion(check, &ms, &ls) && ms == versionMS && ls == versionLS;
    }
  }
  return false;
}

// Runs of a few symbols and random bytes: compresses about as well as code.
void AppendGenerated(Bytes& out, size_t count, std::mt19937& random) {
  size_t end = out.size() + count;
  while (out.size() < end) {
    uint32_t r = random();
    if (r % 4 == 0) {
      out.push_back(static_cast<uint8_t>(r >> 8));
    } else {
      size_t run = std::min<size_t>(1 + (r >> 8) % 6, end - out.size());
      out.insert(out.end(), run, static_cast<uint8_t>("\0\xFF\x8B\x45\x89\xE8"[(r >> 16) % 6]));
    }
  }
}

// A PE image of version 1.0 to begin file `index` with, at most `limit` bytes: a real one
// from the pool when there is one that fits, else a small built one.
Bytes MakeHead(SamplePool& pool, int index, size_t limit) {
  Bytes head;
  if (!pool.empty()) head = pool.Head(static_cast<size_t>(index) * 7, kOldMS, limit);
  if (head.empty()) {
    PeImagePlan plan;
    plan.versionMS = kOldMS;
    plan.versionLS = 0;
    head = BuildPeImage(plan).bytes;
  }
  return head;
}

void AppendFill(SamplePool& pool, Bytes& out, size_t count, std::mt19937& random) {
  if (pool.empty()) {
    AppendGenerated(out, count, random);
  } else {
    pool.Append(out, count);
  }
}

}  // namespace

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "bench: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

bool SameContents(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary);
  std::ifstream fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount()) return false;
    if (fa.gcount() == 0) return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<size_t>(fa.gcount())) != 0) return false;
  }
}

SamplePool::SamplePool() {
  for (const char* root :
       {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/x86_64-linux-gnu/wine"}) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) continue;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      uint64_t size = it->is_regular_file(ec) ? it->file_size(ec) : 0;
      if (!ec && size >= 4096) files_.push_back({it->path().string(), size, 0});
    }
  }
  std::sort(files_.begin(), files_.end(),
            [](const Sample& a, const Sample& b) { return a.path < b.path; });
}

Bytes SamplePool::Head(size_t start, uint32_t versionMS, size_t limit) {
  for (size_t k = 0; k < files_.size(); ++k) {
    Sample& sample = files_[(start + k) % files_.size()];
    if (sample.state < 0 || sample.size > limit) continue;
    Bytes bytes = ReadRange(sample.path, 0, static_cast<size_t>(sample.size));
    if (PatchVersion(bytes, versionMS, 0)) {
      sample.state = 1;
      ++headsServed;
      return bytes;
    }
    sample.state = -1;
  }
  return Bytes();
}

void SamplePool::Append(Bytes& out, size_t count) {
  size_t emptyReads = 0;
  while (count > 0) {
    Bytes chunk = ReadRange(files_[file_].path, offset_, count);
    emptyReads = chunk.empty() ? emptyReads + 1 : 0;
    if (emptyReads > files_.size()) {
      std::fprintf(stderr, "bench: the sample files cannot be read\n");
      std::exit(1);
    }
    if (chunk.size() < count) {
      file_ = (file_ + 1) % files_.size();
      offset_ = 0;
    } else {
      offset_ += chunk.size();
    }
    out.insert(out.end(), chunk.begin(), chunk.end());
    count -= chunk.size();
  }
}

void MakePair(SamplePool& pool, int index, size_t size, std::mt19937& random, Bytes& oldBytes,
              Bytes& newBytes) {
  oldBytes = MakeHead(pool, index, size / 2);
  size_t head = oldBytes.size();
  if (size > head) AppendFill(pool, oldBytes, size - head, random);
  newBytes = oldBytes;
  if (!PatchVersion(newBytes, kNewMS, 0)) {
    std::fprintf(stderr, "bench: cannot set the version of file %d\n", index);
    std::exit(1);
  }
  for (size_t at = head; at + 512 < newBytes.size(); at += 64 * 1024) {
    size_t span = std::min<size_t>(64 * 1024, newBytes.size() - at) - 512;
    size_t where = at + random() % span;
    size_t length = 16 + random() % 496;
    for (size_t k = 0; k < length; ++k) newBytes[where + k] ^= static_cast<uint8_t>(random() | 1);
  }
  if (index % 2 == 1) AppendFill(pool, newBytes, 4096, random);
}

std::vector<size_t> FileSizes(int count, double total, size_t smallest, size_t largest,
                              std::mt19937& random) {
  std::vector<double> weights(static_cast<size_t>(count));
  double sum = 0;
  std::uniform_real_distribution<double> logSize(std::log(double(smallest)),
                                                 std::log(double(largest)));
  for (double& w : weights) sum += (w = std::exp(logSize(random)));
  std::vector<size_t> sizes;
  for (double w : weights) {
    sizes.push_back(std::max<size_t>(static_cast<size_t>(w * total / sum), 1024));
  }
  return sizes;
}

void TakeOptions(std::vector<std::string>& args, int* files, std::string* product) {
  while (args.size() >= 2 && args[args.size() - 2].rfind("--", 0) == 0) {
    if (args[args.size() - 2] == "--files") *files = std::atoi(args.back().c_str());
    if (args[args.size() - 2] == "--product") *product = args.back();
    args.resize(args.size() - 2);
  }
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
  std::exit(1);
}

}  // namespace bench
