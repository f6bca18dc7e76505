// The GUI driver: finding a process's windows by what they show, waiting for them, and
// describing them when a test fails.
#include <cstdio>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {
namespace {

struct EnumState {
  DWORD pid;
  std::vector<HWND>* out;
};

BOOL CALLBACK CollectTopWindow(HWND w, LPARAM lparam) {
  auto* state = reinterpret_cast<EnumState*>(lparam);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == state->pid && IsWindowVisible(w)) state->out->push_back(w);
  return TRUE;
}

}  // namespace

WindowMatch CaptionIs(const std::string& caption) {
  return {"caption '" + caption + "'", [caption](HWND w) { return WindowCaption(w) == caption; }};
}

WindowMatch CaptionStartsWith(const std::string& prefix) {
  return {"caption starting '" + prefix + "'",
          [prefix](HWND w) { return WindowCaption(w).compare(0, prefix.size(), prefix) == 0; }};
}

WindowMatch ClassIs(const std::string& class_name) {
  return {"class " + class_name, [class_name](HWND w) { return IsClass(w, class_name.c_str()); }};
}

WindowMatch AllOf(const WindowMatch& a, const WindowMatch& b) {
  auto ta = a.test;
  auto tb = b.test;
  return {a.description + " and " + b.description, [ta, tb](HWND w) { return ta(w) && tb(w); }};
}

WindowMatch IsMessageBox() {
  return {"a message box", [](HWND w) {
            if (!IsClass(w, "#32770")) return false;
            bool has_text = false;
            for (HWND c : Children(w)) {
              bool is_static = IsClass(c, "Static");
              if (!is_static && !IsClass(c, "Button")) return false;
              if (is_static && (GetDlgCtrlID(c) & 0xFFFF) == kMessageBoxTextId) has_text = true;
            }
            return has_text;
          }};
}

std::vector<HWND> TopWindows(DWORD pid) {
  std::vector<HWND> out;
  EnumState state{pid, &out};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&state));
  return out;
}

HWND FindTopWindow(DWORD pid, const WindowMatch& match) {
  for (HWND w : TopWindows(pid)) {
    if (match.test(w)) return w;
  }
  return nullptr;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(poll_ms);
  }
}

HWND WaitForWindow(DWORD pid, const WindowMatch& match, DWORD timeout_ms) {
  HWND found = nullptr;
  if (WaitUntil([&] { return (found = FindTopWindow(pid, match)) != nullptr; }, timeout_ms)) {
    return found;
  }
  Fail("no window with " + match.description + " of process " + std::to_string(pid) + " after " +
       std::to_string(timeout_ms) + " ms; it shows:\n" + DescribeProcessWindows(pid));
}

bool WaitForWindowGone(HWND window, DWORD timeout_ms) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
}

std::string DescribeWindow(HWND window) {
  std::string out;
  auto line = [&out](HWND w, const char* indent) {
    RECT r = {};
    GetWindowRect(w, &r);
    char buf[160];
    std::snprintf(buf, sizeof buf, " [%ld,%ld %ldx%ld]%s%s\n", static_cast<long>(r.left),
                  static_cast<long>(r.top), static_cast<long>(r.right - r.left),
                  static_cast<long>(r.bottom - r.top), IsWindowVisible(w) ? "" : " hidden",
                  IsWindowEnabled(w) ? "" : " disabled");
    out += indent + Name(w) + buf;
  };
  line(window, "");
  for (HWND c : Children(window)) line(c, "  ");
  return out;
}

std::string DescribeProcessWindows(DWORD pid) {
  std::string out;
  for (HWND w : TopWindows(pid)) out += DescribeWindow(w);
  return out.empty() ? "(no visible window)\n" : out;
}

}  // namespace gui
