#include "lz/szdd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "lz/lz_test_data.h"

namespace {

using lztest::Compress;
using lztest::Expand;

std::vector<uint8_t> Header(char mode = 'A', uint32_t length = 0) {
  std::vector<uint8_t> bytes(kSzddSignature, kSzddSignature + 8);
  bytes.push_back(static_cast<uint8_t>(mode));
  bytes.push_back('x');
  for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(length >> (8 * k)));
  return bytes;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
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
  lztest::Random random_{4};
};

// Checks the header and that the file expands to `data`.
void ExpectRoundTrip(const std::vector<uint8_t>& data, const std::string& what) {
  std::vector<uint8_t> packed = Compress(data, 'L');
  ASSERT_GE(packed.size(), kSzddHeaderSize) << what;
  EXPECT_TRUE(std::equal(kSzddSignature, kSzddSignature + 8, packed.begin())) << what;
  EXPECT_EQ(packed[8], 'A') << what;
  EXPECT_EQ(packed[9], 'L') << what;
  uint32_t length = packed[10] | (packed[11] << 8) | (packed[12] << 16) |
                    (static_cast<uint32_t>(packed[13]) << 24);
  EXPECT_EQ(length, data.size()) << what;
  // Never more than a control byte per eight literals.
  EXPECT_LE(packed.size(), kSzddHeaderSize + data.size() + (data.size() + 7) / 8) << what;
  bool ok = false;
  std::vector<uint8_t> back = Expand(packed, &ok);
  EXPECT_TRUE(ok) << what;
  EXPECT_TRUE(back == data) << what << ": " << back.size() << " bytes back of " << data.size();
}

TEST(SzddCodec, RoundTripsEverySizeAndKind) {
  const size_t kSizes[] = {0, 1, 2, 15, 16, 17, 1023, 1024, 1025, 4096, 4097, 70000};
  for (size_t size : kSizes) {
    std::string n = std::to_string(size);
    ExpectRoundTrip(std::vector<uint8_t>(size, 0), "zeros " + n);
    ExpectRoundTrip(std::vector<uint8_t>(size, ' '), "spaces " + n);
    ExpectRoundTrip(lztest::Text(size), "text " + n);
    ExpectRoundTrip(lztest::RandomBytes(size, size), "random " + n);
    ExpectRoundTrip(lztest::Repetitive(size), "repetitive " + n);
    ExpectRoundTrip(lztest::PeLike(size), "pe-like " + n);
  }
  // A random block repeated at the window's edge: matches at the longest distances.
  std::vector<uint8_t> block = lztest::RandomBytes(4100, 7);
  for (size_t period : {4060, 4077, 4078, 4079, 4095, 4096, 4097}) {
    std::vector<uint8_t> data(block.begin(), block.begin() + period);
    data.insert(data.end(), block.begin(), block.begin() + period);
    ExpectRoundTrip(data, "period " + std::to_string(period));
  }
}

TEST(SzddCodec, RoundTripsExecutables) {
  ExpectRoundTrip(lztest::PeLike(300000), "generated image");
  // Real images where the system has them (natively, and under Wine through drive Z:).
  const char* const kCandidates[] = {
      "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll",
      "/usr/lib/i386-linux-gnu/wine/i386-windows/notepad.exe",
      "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe",
  };
  for (const char* path : kCandidates) {
    std::vector<uint8_t> image = lztest::ReadWholeFile(path);
    if (!image.empty()) ExpectRoundTrip(image, path);
  }
}

TEST(SzddCodec, CompressesCompressibleData) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    double atMost;  // compressed size over input size
  } cases[] = {
      {"zeros", std::vector<uint8_t>(100000, 0), 0.12},
      {"text", lztest::Text(100000), 0.60},
      {"repetitive", lztest::Repetitive(100000), 0.40},
      {"pe-like", lztest::PeLike(100000), 0.85},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> packed = Compress(c.data);
    EXPECT_LT(packed.size(), c.data.size() * c.atMost) << c.what << ": " << packed.size();
  }
}

TEST(SzddCodec, RoundTripsMoreThanTenMegabytes) {
  // Four copies of 2.75 MB, each changed here and there: the copies lie far beyond the
  // window, so they cost the codec as much as new bytes, and less to generate.
  std::vector<uint8_t> part = lztest::PeLike(1 << 20, 11);
  part = Concat(part, lztest::Text(1 << 20, 12));
  part = Concat(part, lztest::RandomBytes(1 << 18, 13));
  part = Concat(part, lztest::Repetitive(1 << 19, 14));
  std::vector<uint8_t> data;
  for (int copy = 0; copy < 4; ++copy) {
    for (size_t i = copy; i < part.size(); i += 997) part[i] ^= 0x5A;
    data = Concat(data, part);
  }
  ASSERT_GT(data.size(), 10u << 20);
  std::vector<uint8_t> packed = Compress(data);
  EXPECT_LT(packed.size(), data.size() * 6 / 10);

  // Streamed: the expander writes in bounded pieces, whatever the total.
  class CountingSink : public ByteSink {
   public:
    explicit CountingSink(const std::vector<uint8_t>& expected) : expected_(expected) {}
    void Write(const uint8_t* data, size_t count) override {
      largest = std::max(largest, count);
      if (total + count > expected_.size() ||
          !std::equal(data, data + count, expected_.begin() + total)) {
        mismatch = true;
      }
      total += count;
    }
    size_t largest = 0;
    size_t total = 0;
    bool mismatch = false;

   private:
    const std::vector<uint8_t>& expected_;
  } sink(data);
  MemorySource source(packed.data(), packed.size());
  SzddResult result = SzddExpand(source, sink);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.written, data.size());
  EXPECT_EQ(sink.total, data.size());
  EXPECT_FALSE(sink.mismatch);
  EXPECT_LE(sink.largest, 1u << 20);
}

// The streaming form writes the same bytes in bounded pieces, reads no byte past the size it
// is given, and says when the input ends before it.
TEST(SzddCodec, StreamsInBoundedPiecesWhateverTheReads) {
  std::vector<uint8_t> data = lztest::PeLike(300000, 5);
  data = Concat(data, lztest::Text(100000, 6));
  for (size_t size : {size_t{0}, size_t{30}, size_t{32768 + 20}, data.size() - 3}) {
    struct Sink : VectorSink {
      using VectorSink::VectorSink;
      void Write(const uint8_t* bytes, size_t count) override {
        largest = std::max(largest, count);
        VectorSink::Write(bytes, count);
      }
      size_t largest = 0;
    };
    std::vector<uint8_t> out;
    Sink sink(out);
    TrickleSource source(data, size % 2 ? 5000 : 7);
    EXPECT_TRUE(SzddCompress(source, size, sink, 'L')) << size;
    EXPECT_TRUE(out == Compress(std::vector<uint8_t>(data.begin(), data.begin() + size), 'L'));
    EXPECT_EQ(source.pos, size);
    EXPECT_LE(sink.largest, 40000u);
  }
  std::vector<uint8_t> out;
  VectorSink sink(out);
  MemorySource shorter(data.data(), 1000);
  EXPECT_FALSE(SzddCompress(shorter, 1001, sink));
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
