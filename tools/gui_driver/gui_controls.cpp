// The GUI driver: the text and state of windows and dialog controls.
#include <algorithm>
#include <vector>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {
namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

}  // namespace

std::string WindowClass(HWND window) {
  char buf[256];
  int n = GetClassNameA(window, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

std::string WindowCaption(HWND window) {
  int len = GetWindowTextLengthA(window);
  std::vector<char> buf(static_cast<size_t>(len) + 2);
  int n = GetWindowTextA(window, buf.data(), static_cast<int>(buf.size()));
  return std::string(buf.data(), n > 0 ? n : 0);
}

std::string ReadText(HWND window) {
  RequireWindow(window, "ReadText");
  LRESULT len = SendTimed(window, WM_GETTEXTLENGTH, 0, 0, "WM_GETTEXTLENGTH");
  std::vector<WCHAR> buf(static_cast<size_t>(len) + 2);
  LRESULT n =
      SendTimed(window, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), "WM_GETTEXT");
  return Narrow(buf.data(), static_cast<int>(std::min<LRESULT>(n, len + 1)));
}

void WriteText(HWND window, const std::string& text) {
  RequireWindow(window, "WriteText");
  std::wstring wide = Widen(text);
  if (!SendTimed(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), "WM_SETTEXT")) {
    Fail("WM_SETTEXT refused by " + Name(window));
  }
}

HWND Control(HWND dialog, int id) {
  RequireWindow(dialog, "Control");
  HWND c = GetDlgItem(dialog, id);
  if (!c) Fail("no control " + std::to_string(id) + " in:\n" + DescribeWindow(dialog));
  return c;
}

HWND WaitForControl(HWND dialog, int id, DWORD timeout_ms) {
  HWND c = nullptr;
  if (WaitUntil([&] { return (c = GetDlgItem(dialog, id)) != nullptr; }, timeout_ms)) return c;
  return Control(dialog, id);  // raises, describing the dialog
}

std::string ControlText(HWND dialog, int id) { return ReadText(Control(dialog, id)); }

void SetEditText(HWND dialog, int id, const std::string& text) {
  WriteText(Control(dialog, id), text);
}

bool IsControlVisible(HWND window) { return IsWindowVisible(window) != FALSE; }

bool IsControlEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

HWND FocusedWindow(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!thread || !GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

}  // namespace gui
