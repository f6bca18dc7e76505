// The SZDD codec's compressor: round trips of every size and kind of data, how well it
// compresses, and the streaming form.
#include <gtest/gtest.h>

#include <algorithm>

#include "lz/lz_test_data.h"
#include "lz/szdd.h"

namespace {

using lztest::Compress;
using lztest::Concat;
using lztest::Expand;
using lztest::TrickleSource;

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

}  // namespace
