// The GUI driver: choosing a file in an open or save dialog.
#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {
namespace {

// Control ids of the common file dialogs (dlgs.h): the file name combo of the explorer
// style, the file name edit of the old style.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

}  // namespace

WindowMatch IsFileDialog() {
  return {"a file dialog", [](HWND w) {
            return IsClass(w, "#32770") && (GetDlgItem(w, kFileNameCombo) != nullptr ||
                                            GetDlgItem(w, kFileNameEdit) != nullptr);
          }};
}

void ChooseFile(HWND file_dialog, const std::string& path, DWORD timeout_ms) {
  RequireWindow(file_dialog, "ChooseFile");
  HWND box = GetDlgItem(file_dialog, kFileNameCombo);
  if (!box) box = Control(file_dialog, kFileNameEdit);
  WriteText(box, path);
  // Wine's explorer-style dialog also has a toolbar with id 1: find the button itself.
  HWND open = nullptr;
  for (HWND c : Children(file_dialog)) {
    if (GetDlgCtrlID(c) == IDOK && IsClass(c, "Button")) open = c;
  }
  if (!open) Fail("no Open button in file dialog:\n" + DescribeWindow(file_dialog));
  ClickButton(open);
  if (!WaitForWindowGone(file_dialog, timeout_ms)) {
    Fail("file dialog still open after choosing '" + path + "':\n" + DescribeWindow(file_dialog));
  }
}

}  // namespace gui
