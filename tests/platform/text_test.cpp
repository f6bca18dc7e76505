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

TEST(Utf8ToCodePage, TakesWindows1252AndRefusesWhatIsNotOneOfItsCharacters) {
  const struct {
    const char* utf8;
    const char* converted;  // null: refused
  } cases[] = {
      {"plain", "plain"},
      {"donn\xC3\xA9"
       "es \xE2\x82\xAC",
       "donn\xE9"
       "es \x80"},
      {"\xC1\x81", nullptr},          // 'A' in an overlong form
      {"\xE0\x80\xAF", nullptr},      // '/' in an overlong form
      {"\xF0\x80\x80\xAF", nullptr},  // '/' again, four bytes long
      {"\xC2\x81", nullptr},          // a C1 control, though Windows maps byte 0x81 to it
      {"\xE4\xB8\xAD", nullptr},      // a character the code page has no place for
      {"\xC3", nullptr},              // cut short
      {"\x80", nullptr},              // a continuation byte alone
      {"\xF8\x88\x80\x80\x80", nullptr},
  };
  for (const auto& c : cases) {
    std::string out;
    bool ok = Utf8ToCodePage(c.utf8, &out);
    EXPECT_EQ(ok, c.converted != nullptr) << c.utf8;
    if (c.converted) {
      EXPECT_EQ(out, c.converted) << c.utf8;
    }
  }
}

}  // namespace
