// The SZDD codec's expander: input without the signature, headers, hand-made streams,
// damaged and truncated input, and sources and sinks that misbehave.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "lz/lz_test_data.h"
#include "lz/szdd.h"

namespace {

using lztest::Compress;
using lztest::Concat;
using lztest::Expand;
using lztest::TrickleSource;

std::vector<uint8_t> Header(char mode = 'A', uint32_t length = 0) {
  std::vector<uint8_t> bytes(kSzddSignature, kSzddSignature + 8);
  bytes.push_back(static_cast<uint8_t>(mode));
  bytes.push_back('x');
  for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(length >> (8 * k)));
  return bytes;
}

TEST(SzddExpand, CopiesInputWithoutTheSignature) {
  std::vector<uint8_t> damaged = Compress(lztest::Text(5000));
  damaged[7] ^= 1;
  const std::vector<uint8_t> inputs[] = {
      {},
      {'S', 'Z'},
      {'S', 'Z', 'D', 'D'},
      std::vector<uint8_t>(kSzddSignature, kSzddSignature + 7),
      {'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0},
      lztest::RandomBytes(200000, 5),
      damaged,
  };
  for (const auto& input : inputs) {
    bool ok = false;
    std::vector<uint8_t> out = Expand(input, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(out == input) << input.size() << " bytes in, " << out.size() << " out";
  }
}

TEST(SzddExpand, RefusesShortHeadersAndOtherModes) {
  std::vector<uint8_t> full = Header('A', 3);
  for (size_t size = 8; size < kSzddHeaderSize; ++size) {
    bool ok = true;
    std::vector<uint8_t> out = Expand(std::vector<uint8_t>(full.begin(), full.begin() + size), &ok);
    EXPECT_FALSE(ok) << size;
    EXPECT_TRUE(out.empty()) << size;
  }
  for (char mode : {'B', 'a', '\0'}) {
    bool ok = true;
    EXPECT_TRUE(Expand(Concat(Header(mode, 3), {0xFF, 'a', 'b', 'c'}), &ok).empty());
    EXPECT_FALSE(ok) << mode;
  }
}

TEST(SzddExpand, DecodesHandMadeStreams) {
  struct Case {
    const char* what;
    std::vector<uint8_t> stream;
    std::string expected;
  } cases[] = {
      {"header only", {}, ""},
      {"literals", {0x07, 'a', 'b', 'c'}, "abc"},
      // Offset 0 lies in the initial window, which holds spaces.
      {"initial spaces", {0x00, 0x00, 0x00}, "   "},
      // Offset 4080 is the first byte written: a run grows from it.
      {"run", {0x01, 'a', 0xF0, 0xF5}, "aaaaaaaaa"},
      {"two-byte period", {0x03, 'a', 'b', 0xF0, 0xF3}, "abababab"},
      // Offset 4094 is behind the write start: still spaces, then wraps to 0, 1 ...
      {"wrapping read", {0x00, 0xFE, 0xF1}, "    "},
      // Ends inside a match: the match is dropped, the rest kept.
      {"half a match", {0x01, 'a', 0xF0}, "a"},
      {"control byte only", {0xFF}, ""},
      {"literal missing", {0x03, 'a'}, "a"},
  };
  for (const Case& c : cases) {
    bool ok = false;
    std::vector<uint8_t> out = Expand(Concat(Header('A', 99), c.stream), &ok);
    EXPECT_TRUE(ok) << c.what;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.expected) << c.what;
  }

  // Writing wraps from 4095 to 0; a match at the write position reads the byte written
  // one window earlier.
  std::vector<uint8_t> stream;
  std::string expected;
  for (int i = 0; i < 4096; ++i) {
    if (i % 8 == 0) stream.push_back(0xFF);
    char c = static_cast<char>('a' + (i * 7) % 26);
    stream.push_back(static_cast<uint8_t>(c));
    expected.push_back(c);
  }
  // Now at ring position 4080 again: offset 4080, length 18, copies output bytes 0..17
  // over themselves. Then offset 0, length 3 at ring position 2 reads 0, 1 and the 2 it
  // has just written.
  stream.insert(stream.end(), {0x00, 0xF0, 0xFF, 0x00, 0x00});
  expected += expected.substr(0, 18);
  expected += {expected[16], expected[17], expected[16]};
  std::vector<uint8_t> out = Expand(Concat(Header(), stream));
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}

TEST(SzddExpand, IgnoresTheLengthField) {
  std::vector<uint8_t> data = lztest::Text(3000);
  std::vector<uint8_t> packed = Compress(data);
  for (uint32_t length : {0u, 1u, 2999u, 3001u, 0xFFFFFFFFu}) {
    for (int k = 0; k < 4; ++k) packed[10 + k] = static_cast<uint8_t>(length >> (8 * k));
    EXPECT_TRUE(Expand(packed) == data) << length;
  }
}

TEST(SzddExpand, TruncatedAndDamagedInputsGiveDeterministicResults) {
  std::vector<uint8_t> data = lztest::PeLike(6000);
  std::vector<uint8_t> packed = Compress(data);
  // Cut anywhere after the header: the output is a prefix of the original.
  for (size_t size = kSzddHeaderSize; size <= packed.size(); ++size) {
    bool ok = false;
    std::vector<uint8_t> out = Expand({packed.begin(), packed.begin() + size}, &ok);
    ASSERT_TRUE(ok) << size;
    ASSERT_LE(out.size(), data.size()) << size;
    ASSERT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << size;
  }
  // Damaged bytes decode to something, the same every time, within the format's bounds.
  lztest::Random random(99);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> bad = packed;
    int flips = 1 + static_cast<int>(random.Below(20));
    for (int k = 0; k < flips; ++k) {
      bad[kSzddHeaderSize + random.Below(static_cast<uint32_t>(bad.size() - kSzddHeaderSize))] =
          static_cast<uint8_t>(random.Next());
    }
    bool ok = false;
    std::vector<uint8_t> out = Expand(bad, &ok);
    EXPECT_TRUE(ok);
    EXPECT_LE(out.size(), 9 * (bad.size() - kSzddHeaderSize));
    EXPECT_TRUE(Expand(bad) == out);
  }
  // Pure noise after a valid header.
  for (uint64_t seed = 0; seed < 20; ++seed) {
    std::vector<uint8_t> bad = Concat(Header(), lztest::RandomBytes(100000, seed));
    std::vector<uint8_t> out = Expand(bad);
    EXPECT_TRUE(Expand(bad) == out);
  }
}

TEST(SzddExpand, ReadsSourcesThatDeliverLittleAtATime) {
  std::vector<uint8_t> data = lztest::Text(200000);
  for (const auto& input : {Compress(data), data}) {
    std::vector<uint8_t> out;
    VectorSink sink(out);
    TrickleSource source(input);
    SzddResult result = SzddExpand(source, sink);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.written, data.size());
    EXPECT_TRUE(out == data);
  }
}

TEST(SzddExpand, PassesOnTheSinksFailure) {
  class FailingSink : public ByteSink {
   public:
    void Write(const uint8_t*, size_t) override { throw std::runtime_error("disk full"); }
  } sink;
  std::vector<uint8_t> packed = Compress(lztest::Text(1000));
  MemorySource source(packed.data(), packed.size());
  EXPECT_THROW(SzddExpand(source, sink), std::runtime_error);
}

}  // namespace
