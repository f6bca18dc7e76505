// The application's message boxes: which types get the exclamation icon added.
#include <gtest/gtest.h>

#include "app/app_message_box.h"

namespace {

TEST(AppMessageBox, ExclamationOnlyForIconlessOkAndYesNoSets) {
  const struct {
    UINT type;
    UINT want;
  } cases[] = {
      {MB_OK, MB_OK | MB_ICONEXCLAMATION},
      {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
      {MB_YESNO, MB_YESNO | MB_ICONEXCLAMATION},
      {MB_YESNOCANCEL, MB_YESNOCANCEL | MB_ICONEXCLAMATION},
      {MB_RETRYCANCEL, MB_RETRYCANCEL},
      {MB_ABORTRETRYIGNORE, MB_ABORTRETRYIGNORE},
      {MB_OK | MB_ICONSTOP, MB_OK | MB_ICONSTOP},
      {MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION},
      {MB_OK | MB_SYSTEMMODAL, MB_OK | MB_SYSTEMMODAL | MB_ICONEXCLAMATION},
  };
  for (const auto& c : cases) EXPECT_EQ(AppMessageBoxType(c.type), c.want) << std::hex << c.type;
}

}  // namespace
