// The GUI driver: mouse and keyboard input, posted to one window or sent as real input.
#include <vector>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {
namespace {

void SendInputs(std::vector<INPUT>& inputs, const char* what) {
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) FailLastError(std::string("SendInput of ") + what);
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

LPARAM KeyLparam(UINT vk, bool up) {
  UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  // Repeat count 1, the scan code; a release also has the previous-state and transition bits.
  DWORD l = 1 | ((scan & 0xFF) << 16);
  if (up) l |= 0xC0000000u;
  return static_cast<LPARAM>(l);
}

}  // namespace

void PostClick(HWND window, POINT client) {
  RequireWindow(window, "PostClick");
  LPARAM at = MAKELPARAM(client.x, client.y);
  PostOrFail(window, WM_MOUSEMOVE, 0, at, "WM_MOUSEMOVE");
  PostOrFail(window, WM_LBUTTONDOWN, MK_LBUTTON, at, "WM_LBUTTONDOWN");
  PostOrFail(window, WM_LBUTTONUP, 0, at, "WM_LBUTTONUP");
}

void PostDoubleClick(HWND window, POINT client) {
  PostClick(window, client);
  LPARAM at = MAKELPARAM(client.x, client.y);
  PostOrFail(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at, "WM_LBUTTONDBLCLK");
  PostOrFail(window, WM_LBUTTONUP, 0, at, "WM_LBUTTONUP");
}

void InputClick(HWND window, POINT client) {
  RequireWindow(window, "InputClick");
  BringToFront(GetAncestor(window, GA_ROOT));
  POINT at = ToScreen(window, client);
  if (!SetCursorPos(at.x, at.y)) FailLastError("SetCursorPos");
  std::vector<INPUT> inputs(2);
  for (auto& in : inputs) in.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInputs(inputs, "a mouse click");
}

void PostKey(HWND window, UINT vk) {
  RequireWindow(window, "PostKey");
  PostOrFail(window, WM_KEYDOWN, vk, KeyLparam(vk, false), "WM_KEYDOWN");
  PostOrFail(window, WM_KEYUP, vk, KeyLparam(vk, true), "WM_KEYUP");
}

void PostChars(HWND window, const std::string& text) {
  RequireWindow(window, "PostChars");
  for (unsigned char c : text) PostOrFail(window, WM_CHAR, c, 1, "WM_CHAR");
}

bool BringToFront(HWND top, DWORD timeout_ms) {
  RequireWindow(top, "BringToFront");
  return WaitUntil(
      [&] {
        if (GetForegroundWindow() == top) return true;
        SetForegroundWindow(top);
        return GetForegroundWindow() == top;
      },
      timeout_ms, 50);
}

void InputKey(UINT vk) {
  std::vector<INPUT> inputs = {KeyInput(static_cast<WORD>(vk), false),
                               KeyInput(static_cast<WORD>(vk), true)};
  SendInputs(inputs, "a key");
}

void InputText(const std::string& text) {
  for (char ch : text) {
    SHORT scan = VkKeyScanA(ch);
    if (scan == -1) Fail(std::string("no key types '") + ch + "'");
    WORD vk = LOBYTE(scan);
    bool shift = (HIBYTE(scan) & 1) != 0;
    std::vector<INPUT> inputs;
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
    SendInputs(inputs, "typed text");
  }
}

}  // namespace gui
