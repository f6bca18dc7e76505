// The codec against independent implementations of the format: Debian's msexpand and
// mscompress (skipped when not installed) and libmspack's SZDD decompressor. Native only.
#include <gtest/gtest.h>
#include <mspack.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "lz/lz_test_data.h"
#include "lz/szdd.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Sample {
  std::string name;
  std::vector<uint8_t> data;
  // A repeat further back than our matches reach (4078): the other tool takes it, we
  // keep to the distance every expander reads alike, so sizes are not compared.
  bool beyondOurReach = false;
};

// Generated data of every kind, and a few of the system's real Windows images when present.
std::vector<Sample> Corpus() {
  std::vector<Sample> corpus;
  for (size_t size : {16, 17, 100, 1023, 1024, 1025, 4096, 4097, 70000}) {
    std::string n = std::to_string(size);
    corpus.push_back({"zeros" + n, std::vector<uint8_t>(size, 0)});
    corpus.push_back({"spaces" + n, std::vector<uint8_t>(size, ' ')});
    corpus.push_back({"text" + n, lztest::Text(size, size)});
    corpus.push_back({"random" + n, lztest::RandomBytes(size, size)});
    corpus.push_back({"repetitive" + n, lztest::Repetitive(size, size)});
    corpus.push_back({"pe" + n, lztest::PeLike(size, size)});
  }
  std::vector<uint8_t> block = lztest::RandomBytes(4100, 7);
  for (size_t period : {4077, 4078, 4079, 4096}) {
    std::vector<uint8_t> data(block.begin(), block.begin() + period);
    data.insert(data.end(), block.begin(), block.begin() + period);
    corpus.push_back({"period" + std::to_string(period), data, period > 4078});
  }
  // The tools read and write a byte per call: a small share of the images is enough.
  const char* const kDirs[] = {"/usr/lib/i386-linux-gnu/wine/i386-windows",
                               "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"};
  size_t budget = 1 << 20;
  for (const char* dir : kDirs) {
    std::string tag = dir == kDirs[0] ? "i386-" : "x64-";
    std::error_code error;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir, error)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (size_t i = 0; i < files.size(); i += 37) {
      std::vector<uint8_t> image = lztest::ReadWholeFile(files[i].string());
      if (image.size() < 16 || image.size() > budget / 4) continue;
      budget -= image.size();
      corpus.push_back({tag + files[i].filename().string(), image});
    }
  }
  return corpus;
}

bool HaveCommand(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; true when it exits with status 0.
bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

// libmspack's SZDD decompressor on `input`: false when it refuses the input.
bool MspackExpand(const TempDir& dir, const std::vector<uint8_t>& input,
                  std::vector<uint8_t>* output) {
  std::string in = dir.Write("mspack-in", input);
  std::string out = (fs::path(dir.path()) / "mspack-out").string();
  fs::remove(out);
  std::unique_ptr<msszdd_decompressor, void (*)(msszdd_decompressor*)> szdd(
      mspack_create_szdd_decompressor(nullptr), mspack_destroy_szdd_decompressor);
  if (!szdd) throw std::runtime_error("libmspack unavailable");
  int error = szdd->decompress(szdd.get(), in.c_str(), out.c_str());
  *output = lztest::ReadWholeFile(out);
  return error == MSPACK_ERR_OK;
}

// Our expander and libmspack's give the same verdict and, when both accept, the same bytes.
// Input without our signature is outside the comparison: ours copies it by contract.
void ExpectAgreement(const TempDir& dir, const std::vector<uint8_t>& input,
                     const std::string& what) {
  bool ok = false;
  std::vector<uint8_t> ours = lztest::Expand(input, &ok);
  bool signed_ = input.size() >= 8 && std::equal(kSzddSignature, kSzddSignature + 8, input.begin());
  if (!signed_) {
    EXPECT_TRUE(ok && ours == input) << what;
    return;
  }
  std::vector<uint8_t> theirs;
  bool theirsOk = MspackExpand(dir, input, &theirs);
  EXPECT_EQ(ok, theirsOk) << what;
  if (ok && theirsOk) {
    EXPECT_TRUE(ours == theirs) << what << ": " << ours.size() << " vs " << theirs.size();
  }
}

TEST(SzddInterop, MsexpandExpandsOurFiles) {
  if (!HaveCommand("msexpand")) GTEST_SKIP() << "msexpand is not installed";
  TempDir dir;
  for (const Sample& s : Corpus()) {
    std::string packed = dir.Write(s.name + ".sz_", lztest::Compress(s.data, 'x'));
    std::string out = (fs::path(dir.path()) / (s.name + ".out")).string();
    // Given a name, msexpand restores the original one and refuses to overwrite: the
    // filter form writes where we say.
    ASSERT_TRUE(RunCommand("msexpand < " + Quote(packed) + " > " + Quote(out))) << s.name;
    EXPECT_TRUE(lztest::ReadWholeFile(out) == s.data) << s.name;
  }
}

TEST(SzddInterop, WeExpandMscompressFilesAndCompressNoWorse) {
  if (!HaveCommand("mscompress")) GTEST_SKIP() << "mscompress is not installed";
  TempDir dir;
  size_t ours = 0, theirs = 0;
  for (const Sample& s : Corpus()) {
    // mscompress writes NAME_ next to NAME and will not overwrite it.
    std::string original = dir.Write(s.name, s.data);
    ASSERT_TRUE(RunCommand("mscompress " + Quote(original))) << s.name;
    std::vector<uint8_t> packed = lztest::ReadWholeFile(original + "_");
    ASSERT_GE(packed.size(), kSzddHeaderSize) << s.name;
    bool ok = false;
    EXPECT_TRUE(lztest::Expand(packed, &ok) == s.data) << s.name;
    EXPECT_TRUE(ok) << s.name;
    ExpectAgreement(dir, packed, "mscompress " + s.name);
    if (s.beyondOurReach) continue;
    ours += lztest::Compress(s.data).size();
    theirs += packed.size();
  }
  EXPECT_LE(ours, theirs);
}

TEST(SzddInterop, AgreesWithLibmspack) {
  TempDir dir;
  for (const Sample& s : Corpus()) {
    ExpectAgreement(dir, lztest::Compress(s.data), s.name);
  }

  // Hand-made streams: reads from the initial window, wrapping, a stream cut in a match,
  // truncated headers and other modes.
  std::vector<uint8_t> header(kSzddSignature, kSzddSignature + 8);
  header.insert(header.end(), {'A', 0, 0, 0, 0, 0});
  const std::vector<uint8_t> streams[] = {
      {},
      {0xFF},
      {0x00, 0x00, 0x00},
      {0x00, 0xFE, 0xF1},
      {0x01, 'a', 0xF0},
      {0x01, 'a', 0xF0, 0xFF},
      {0x00, 0x00},
      {0x55, 'a', 1, 2, 'b', 3, 4},
  };
  for (const auto& stream : streams) {
    std::vector<uint8_t> input = header;
    input.insert(input.end(), stream.begin(), stream.end());
    ExpectAgreement(dir, input, "hand-made " + std::to_string(stream.size()));
  }

  // Every cut of two small files, and damage anywhere, the header included.
  lztest::Random random(17);
  for (const auto& data : {lztest::Text(3000), lztest::PeLike(4000)}) {
    std::vector<uint8_t> packed = lztest::Compress(data);
    for (size_t size = 0; size <= packed.size(); size += size < 40 ? 1 : 13) {
      ExpectAgreement(dir, {packed.begin(), packed.begin() + size}, "cut " + std::to_string(size));
    }
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<uint8_t> bad = packed;
      int flips = 1 + static_cast<int>(random.Below(8));
      for (int k = 0; k < flips; ++k) {
        size_t at = trial % 4 == 0 ? random.Below(kSzddHeaderSize)
                                   : random.Below(static_cast<uint32_t>(bad.size()));
        bad[at] = static_cast<uint8_t>(random.Next());
      }
      ExpectAgreement(dir, bad, "damage trial " + std::to_string(trial));
    }
  }
  for (uint64_t seed = 0; seed < 10; ++seed) {
    std::vector<uint8_t> noise = header;
    std::vector<uint8_t> tail = lztest::RandomBytes(20000, seed);
    noise.insert(noise.end(), tail.begin(), tail.end());
    ExpectAgreement(dir, noise, "noise " + std::to_string(seed));
  }
}

}  // namespace
