#include "vareri_windows.h"

#include "resources/resource.h"

gui::WindowMatch IsMainWindow() {
  return gui::WindowMatch{"the main window",
                          [](HWND w) { return ::GetDlgItem(w, IDC_LOG) != nullptr; }};
}

bool RowCrossed(HWND options, int row) {
  HWND list = gui::Control(options, IDC_COMPONENTS);
  RECT r = gui::ListBoxItemRect(list, row);
  int side = (r.bottom - r.top) - 3;
  POINT centre = {r.left + 2 + side / 2, r.top + 1 + side / 2};
  ::Sleep(150);  // let the list repaint
  COLORREF c = gui::PixelAt(list, centre);
  return GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
}

POINT RowStrip(HWND options, int row) {
  RECT r = gui::ListBoxItemRect(gui::Control(options, IDC_COMPONENTS), row);
  return POINT{r.left + 3, (r.top + r.bottom) / 2};
}

POINT RowText(HWND options, int row) {
  RECT r = gui::ListBoxItemRect(gui::Control(options, IDC_COMPONENTS), row);
  return POINT{r.left + (r.bottom - r.top) + 20, (r.top + r.bottom) / 2};
}
