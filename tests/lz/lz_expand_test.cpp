// ExpandFile on real files. The same cases run natively (the portable expander) and under
// Wine (the system's lz32), so they hold only what both backends promise.
#include "platform/lz_expand.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "lz/lz_test_data.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The engine's spelling of a path: backslash-separated, as the POSIX backend also accepts.
std::string EnginePath(const TempDir& dir, const std::string& name) {
  return dir.path() + "\\" + name;
}

std::string NativeName(const TempDir& dir, const std::string& name) {
  return (fs::path(dir.path()) / name).string();
}

TEST(ExpandFile, ExpandsCompressedFiles) {
  TempDir dir;
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  } cases[] = {
      {"one.txt", {'x'}},
      {"seventeen.txt", lztest::Text(17)},
      {"text.txt", lztest::Text(100000)},
      {"image.dll", lztest::PeLike(300000)},
      {"noise.bin", lztest::RandomBytes(5000, 1)},
      {"zeros.bin", std::vector<uint8_t>(70000, 0)},
      {"mixed.bin", lztest::Repetitive(1 << 20)},
  };
  std::vector<Case> all(cases, cases + sizeof cases / sizeof cases[0]);
  // A real image where the system has one (under Wine through drive Z:).
  std::vector<uint8_t> image =
      lztest::ReadWholeFile("/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll");
  if (!image.empty()) all.push_back({"kernel32.dll", image});
  for (const Case& c : all) {
    std::string name = c.name;
    std::string packed = name.substr(0, name.size() - 1) + "_";
    dir.Write(packed, lztest::Compress(c.data, name.back()));
    int64_t written = ExpandFile(EnginePath(dir, packed), EnginePath(dir, name));
    EXPECT_EQ(written, static_cast<int64_t>(c.data.size())) << name;
    EXPECT_TRUE(lztest::ReadWholeFile(NativeName(dir, name)) == c.data) << name;
  }
}

TEST(ExpandFile, CopiesOtherFilesAndEmptiesTheTarget) {
  TempDir dir;
  std::vector<uint8_t> plain = lztest::PeLike(50000);
  dir.Write("plain.dll", plain);
  dir.Write("old.dll", lztest::RandomBytes(200000, 2));
  EXPECT_EQ(ExpandFile(EnginePath(dir, "plain.dll"), EnginePath(dir, "old.dll")), 50000);
  EXPECT_TRUE(lztest::ReadWholeFile(NativeName(dir, "old.dll")) == plain);

  // Nothing to write counts as 0, and the target is still created empty.
  dir.Write("empty.txt", {});
  EXPECT_EQ(ExpandFile(EnginePath(dir, "empty.txt"), EnginePath(dir, "out.txt")), 0);
  EXPECT_TRUE(fs::exists(NativeName(dir, "out.txt")));
  EXPECT_EQ(fs::file_size(NativeName(dir, "out.txt")), 0u);

  std::vector<uint8_t> headerOnly = lztest::Compress({});
  ASSERT_EQ(headerOnly.size(), kSzddHeaderSize);
  dir.Write("header.tx_", headerOnly);
  EXPECT_EQ(ExpandFile(EnginePath(dir, "header.tx_"), EnginePath(dir, "header.txt")), 0);
}

TEST(ExpandFile, ReportsFailedOpens) {
  TempDir dir;
  EXPECT_LE(ExpandFile(EnginePath(dir, "missing.dl_"), EnginePath(dir, "missing.dll")), 0);
  EXPECT_FALSE(fs::exists(NativeName(dir, "missing.dll")));

  dir.Write("real.dl_", lztest::Compress(lztest::Text(1000)));
  EXPECT_LE(ExpandFile(EnginePath(dir, "real.dl_"), EnginePath(dir, "no-such-dir\\real.dll")), 0);
}

}  // namespace
