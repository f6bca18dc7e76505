#include "writer/fingerprint.h"

#include <gtest/gtest.h>

namespace {

TEST(Fingerprint, SamplesReversedBytesAndSumsAtEvenSteps) {
  std::vector<uint8_t> data(100);
  for (int i = 0; i < 100; ++i) data[i] = static_cast<uint8_t>(i);
  // size 100, 2 pairs: step 25; copies at 0 and 50, sums at 25 and 75.
  std::vector<uint8_t> want = {2, 1, 0, 78, 0, 0, 0, 52, 51, 50, 228, 0, 0, 0};
  EXPECT_EQ(ComputeFingerprint(data, 2, 3), want);
}

TEST(Fingerprint, BytesPastTheEndCountAsZero) {
  std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  // size 10, 1 pair of 8: step 5; copy 0..7 reversed, sum of 5..12 = 6+7+8+9+10.
  std::vector<uint8_t> want = {8, 7, 6, 5, 4, 3, 2, 1, 40, 0, 0, 0};
  EXPECT_EQ(ComputeFingerprint(data, 1, 8), want);
  // An empty previous version: step 0, every sample lies past the end.
  EXPECT_EQ(ComputeFingerprint({}, 2, 2), std::vector<uint8_t>(12, 0));
  // Sums wider than a byte are little-endian DWORDs.
  std::vector<uint8_t> ones(4096, 0xFF);
  std::vector<uint8_t> block = ComputeFingerprint(ones, 1, 1024);
  ASSERT_EQ(block.size(), 1028u);
  EXPECT_EQ(block[1024], 0x00);  // 1024 * 255 = 0x3FC00
  EXPECT_EQ(block[1025], 0xFC);
  EXPECT_EQ(block[1026], 0x03);
  EXPECT_EQ(block[1027], 0x00);
}

}  // namespace
