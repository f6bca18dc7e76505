// The GUI driver: reading a message box (text, buttons, icon) and answering it.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {
namespace {

HWND MessageBoxIconControl(HWND box) {
  // Windows gives the icon id 20, Wine 0x440 (stc1): find it by its style instead.
  for (HWND c : Children(box)) {
    if (IsClass(c, "Static") && (Style(c) & SS_TYPEMASK) == SS_ICON) return c;
  }
  return nullptr;
}

bool SameColour(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    int da = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(da) > tolerance) return false;
  }
  return true;
}

}  // namespace

const char* BoxIconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::none:
      return "none";
    case BoxIcon::exclamation:
      return "exclamation";
    case BoxIcon::hand:
      return "hand";
    case BoxIcon::question:
      return "question";
    case BoxIcon::asterisk:
      return "asterisk";
    case BoxIcon::unknown:
      break;
  }
  return "unknown";
}

HWND WaitForMessageBox(DWORD pid, DWORD timeout_ms) {
  return WaitForWindow(pid, IsMessageBox(), timeout_ms);
}

std::string MessageBoxText(HWND box) {
  RequireWindow(box, "MessageBoxText");
  for (HWND c : Children(box)) {
    if (IsClass(c, "Static") && (GetDlgCtrlID(c) & 0xFFFF) == kMessageBoxTextId) {
      return ReadText(c);
    }
  }
  Fail("no message text (static 0xFFFF) in:\n" + DescribeWindow(box));
}

std::vector<BoxButton> MessageBoxButtons(HWND box) {
  RequireWindow(box, "MessageBoxButtons");
  std::vector<std::pair<LONG, BoxButton>> found;
  for (HWND c : Children(box)) {
    if (!IsClass(c, "Button") || !IsWindowVisible(c)) continue;
    found.push_back({ScreenRect(c).left, BoxButton{GetDlgCtrlID(c), ReadText(c)}});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<BoxButton> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

BoxIcon MessageBoxIcon(HWND box, DWORD timeout_ms) {
  RequireWindow(box, "MessageBoxIcon");
  HWND control = MessageBoxIconControl(box);
  if (!control || !IsWindowVisible(control)) return BoxIcon::none;
  if (SendTimed(control, STM_GETICON, 0, 0, "STM_GETICON") == 0) return BoxIcon::none;

  static const struct {
    BoxIcon kind;
    LPCSTR id;
  } kCandidates[] = {{BoxIcon::exclamation, IDI_EXCLAMATION},
                     {BoxIcon::hand, IDI_HAND},
                     {BoxIcon::question, IDI_QUESTION},
                     {BoxIcon::asterisk, IDI_ASTERISK}};
  BoxIcon result = BoxIcon::unknown;
  WaitUntil(
      [&] {
        // One pixel of margin gives the background the icon was drawn on.
        RECT r = ScreenRect(control);
        InflateRect(&r, 1, 1);
        Bitmap shown = CaptureScreenRect(r);
        int w = shown.width - 2;
        int h = shown.height - 2;
        if (w <= 0 || h <= 0) return false;
        COLORREF back = shown.At(0, 0);
        double best = 1.0;
        BoxIcon kind = BoxIcon::unknown;
        for (const auto& c : kCandidates) {
          Canvas canvas(w, h);
          HBRUSH brush = CreateSolidBrush(back);
          RECT all = {0, 0, w, h};
          FillRect(canvas.Dc(), &all, brush);
          DeleteObject(brush);
          DrawIconEx(canvas.Dc(), 0, 0, LoadIconA(nullptr, c.id), w, h, 0, nullptr, DI_NORMAL);
          Bitmap drawn = canvas.Pixels();
          int differ = 0;
          for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
              if (!SameColour(drawn.pixels[y * w + x], shown.pixels[(y + 1) * shown.width + x + 1],
                              24)) {
                ++differ;
              }
            }
          }
          double share = static_cast<double>(differ) / (w * h);
          if (share < best) {
            best = share;
            kind = c.kind;
          }
        }
        // The shown icon matches its own drawing exactly; the nearest other system icon
        // (question against asterisk) still differs in 7% of its pixels.
        if (best < 0.02) result = kind;
        return result != BoxIcon::unknown;
      },
      timeout_ms, 50);
  return result;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.window = box;
  info.caption = WindowCaption(box);
  info.text = MessageBoxText(box);
  info.buttons = MessageBoxButtons(box);
  info.icon = MessageBoxIcon(box);
  return info;
}

void AnswerMessageBox(HWND box, int button_id, DWORD timeout_ms) {
  HWND button = GetDlgItem(box, button_id);
  if (!button) {
    Fail("no button " + std::to_string(button_id) + " in message box:\n" + DescribeWindow(box));
  }
  ClickButton(button);
  if (!WaitForWindowGone(box, timeout_ms)) {
    Fail("message box " + Name(box) + " still there after clicking button " +
         std::to_string(button_id));
  }
}

}  // namespace gui
