// The platform's expansion of stored contents. The same cases run natively (the portable
// expander) and under Wine (the system's lz32), so they hold only what both backends promise.
#include "platform/lz_expand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "lz/lz_test_data.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

// Expands `stored` with a temporary-files directory of its own, which must be empty again
// afterwards: the copy lz32 reads goes when it is closed.
ExpandOutcome Expand(const Bytes& stored, Bytes* out) {
  TempDir temp;
  MemorySource source(stored.data(), stored.size());
  VectorSink sink(*out);
  ExpandOutcome outcome = ExpandStored(source, temp.path() + "\\", sink);
  EXPECT_TRUE(fs::is_empty(temp.path())) << "the temporary copy stayed";
  return outcome;
}

TEST(ExpandStored, ExpandsCompressedAndCopiesOtherContents) {
  struct Case {
    const char* name;
    Bytes data;
  } cases[] = {
      {"one", {'x'}},
      {"seventeen", lztest::Text(17)},
      {"text", lztest::Text(100000)},
      {"image", lztest::PeLike(300000)},
      {"noise", lztest::RandomBytes(5000, 1)},
      {"zeros", Bytes(70000, 0)},
      {"mixed", lztest::Repetitive(1 << 20)},
  };
  std::vector<Case> all(cases, cases + sizeof cases / sizeof cases[0]);
  // A real image where the system has one (under Wine through drive Z:).
  Bytes image = lztest::ReadWholeFile("/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll");
  if (!image.empty()) all.push_back({"kernel32.dll", image});
  for (const Case& c : all) {
    for (bool compressed : {true, false}) {
      Bytes out;
      EXPECT_EQ(Expand(compressed ? lztest::Compress(c.data, 'L') : c.data, &out),
                ExpandOutcome::expanded)
          << c.name;
      EXPECT_TRUE(out == c.data) << c.name << (compressed ? " expanded" : " copied");
    }
  }
  // Nothing to write is no failure here; the engine refuses an empty result itself.
  Bytes out;
  EXPECT_EQ(Expand({}, &out), ExpandOutcome::expanded);
  EXPECT_EQ(Expand(lztest::Compress({}), &out), ExpandOutcome::expanded);
  EXPECT_TRUE(out.empty());
}

TEST(ExpandStored, FailsWhatCannotBeExpandedOrWritten) {
  Bytes packed = lztest::Compress(lztest::Text(5000));
  Bytes badMode = packed;
  badMode[8] = 'B';
  Bytes out;
  EXPECT_EQ(Expand(badMode, &out), ExpandOutcome::failed);

  class FullSink : public ByteSink {
   public:
    void Write(const uint8_t*, size_t) override {
      throw CFileException(FileCause::diskFull, 112, "Writing new");
    }
  } full;
  TempDir temp;
  MemorySource source(packed.data(), packed.size());
  EXPECT_EQ(ExpandStored(source, temp.path() + "\\", full), ExpandOutcome::failed);

  // A refused read of the contents is the caller's to report: it passes through.
  class BrokenSource : public ByteSource {
   public:
    size_t Read(uint8_t*, size_t) override {
      throw CFileException(FileCause::hardIO, 1117, "Reading update");
    }
  } broken;
  VectorSink sink(out);
  EXPECT_THROW(ExpandStored(broken, temp.path() + "\\", sink), CFileException);

  // Only lz32 needs a temporary copy, and says so when it cannot make one.
  MemorySource again(packed.data(), packed.size());
  ExpandOutcome outcome = ExpandStored(again, temp.path() + "\\no\\such\\folder\\", sink);
#ifdef _WIN32
  EXPECT_EQ(outcome, ExpandOutcome::noTempFile);
#else
  EXPECT_EQ(outcome, ExpandOutcome::expanded);
#endif
}

// While held, one temporary copy serves every expansion, each reading its own contents only:
// a shorter one after a longer, one that fails, one after it. It goes when the hold ends.
TEST(ExpandStored, OneCopyServesEveryExpansionWhileHeld) {
  TempDir temp;
  Env& env = Env::Default();
  Bytes badMode = lztest::Compress(lztest::Text(5000));
  badMode[8] = 'B';
  const struct {
    Bytes stored, expected;
    ExpandOutcome outcome;
  } cases[] = {
      {lztest::Compress(lztest::PeLike(300000)), lztest::PeLike(300000), ExpandOutcome::expanded},
      {lztest::Compress(lztest::Text(17)), lztest::Text(17), ExpandOutcome::expanded},
      {lztest::Text(100), lztest::Text(100), ExpandOutcome::expanded},
      {badMode, {}, ExpandOutcome::failed},
      {lztest::Compress(lztest::Text(5000)), lztest::Text(5000), ExpandOutcome::expanded},
  };
  std::set<fs::path> copies;  // every temporary copy seen
  {
    std::unique_ptr<ScratchHold> hold = env.HoldScratch();
    for (const auto& c : cases) {
      Bytes out;
      MemorySource source(c.stored.data(), c.stored.size());
      VectorSink sink(out);
      EXPECT_EQ(env.ExpandPayload(source, temp.path() + "\\", sink), c.outcome);
      if (c.outcome == ExpandOutcome::expanded) {
        EXPECT_TRUE(out == c.expected) << out.size();
      }
      for (const auto& file : fs::directory_iterator(temp.path())) copies.insert(file.path());
    }
  }
#ifdef _WIN32
  EXPECT_EQ(copies.size(), 1u);
#else
  EXPECT_TRUE(copies.empty());  // the portable expander reads the contents as they are
#endif
  EXPECT_TRUE(fs::is_empty(temp.path())) << "the temporary copy stayed";
}

}  // namespace
