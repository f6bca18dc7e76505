#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(WideToAnsi, ConvertsToTheCodePageUpToTheFirstNul) {
  const uint16_t text[] = {'O', 'K', 0x00E9, 0x20AC, 0x4E2D, 0, 'x'};
  EXPECT_EQ(WideToAnsi(text, 7), "OK\xE9\x80?");
  EXPECT_EQ(WideToAnsi(text, 2), "OK");
  EXPECT_EQ(WideToAnsi(text, 0), "");
  const uint16_t pair[] = {0xD83D, 0xDE00, 'a'};  // one character outside the BMP
  std::string converted = WideToAnsi(pair, 3);
  EXPECT_EQ(converted.back(), 'a');
  EXPECT_EQ(converted.find_first_not_of('?'), converted.size() - 1);
}

}  // namespace
