// The GUI driver: clicking buttons as a user could.
#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {

void ClickButton(HWND button) {
  RequireWindow(button, "ClickButton");
  if (!IsWindowVisible(button)) Fail("clicking a hidden button: " + Name(button));
  if (!IsWindowEnabled(button)) Fail("clicking a disabled button: " + Name(button));
  PostOrFail(button, BM_CLICK, 0, 0, "BM_CLICK");
}

void ClickButton(HWND dialog, int id) { ClickButton(Control(dialog, id)); }

void ClickUntil(HWND button, const std::function<bool()>& effect, DWORD timeout_ms) {
  std::string name = Name(button);
  ClickButton(button);
  if (!WaitUntil(effect, timeout_ms)) {
    Fail("clicking " + name + " showed no effect after " + std::to_string(timeout_ms) + " ms");
  }
}

HWND ClickForWindow(HWND button, DWORD pid, const WindowMatch& match, DWORD timeout_ms) {
  ClickButton(button);
  return WaitForWindow(pid, match, timeout_ms);
}

}  // namespace gui
