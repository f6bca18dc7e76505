// The GUI driver: reading list boxes across processes.
#include <algorithm>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {

int ListBoxCount(HWND list) {
  RequireWindow(list, "ListBoxCount");
  LRESULT n = SendTimed(list, LB_GETCOUNT, 0, 0, "LB_GETCOUNT");
  if (n == LB_ERR) Fail("LB_GETCOUNT failed on " + Name(list));
  return static_cast<int>(n);
}

std::vector<std::string> ListBoxLines(HWND list) {
  LONG style = Style(list);
  if ((style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) && !(style & LBS_HASSTRINGS)) {
    Fail("owner-drawn list without strings, read its item data instead: " + Name(list));
  }
  std::vector<std::string> lines;
  int n = ListBoxCount(list);
  for (int i = 0; i < n; ++i) {
    LRESULT len = SendTimed(list, LB_GETTEXTLEN, i, 0, "LB_GETTEXTLEN");
    if (len == LB_ERR) Fail("LB_GETTEXTLEN failed for line " + std::to_string(i));
    std::vector<WCHAR> buf(static_cast<size_t>(len) + 2);
    LRESULT got =
        SendTimed(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf.data()), "LB_GETTEXT");
    if (got == LB_ERR) Fail("LB_GETTEXT failed for line " + std::to_string(i));
    lines.push_back(Narrow(buf.data(), static_cast<int>(std::min<LRESULT>(got, len + 1))));
  }
  return lines;
}

std::vector<ULONG_PTR> ListBoxItemData(HWND list) {
  std::vector<ULONG_PTR> data;
  int n = ListBoxCount(list);
  for (int i = 0; i < n; ++i) {
    data.push_back(static_cast<ULONG_PTR>(SendTimed(list, LB_GETITEMDATA, i, 0, "LB_GETITEMDATA")));
  }
  return data;
}

RECT ListBoxItemRect(HWND list, int index) {
  RECT r = {};
  if (SendTimed(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r), "LB_GETITEMRECT") ==
      LB_ERR) {
    Fail("LB_GETITEMRECT failed for item " + std::to_string(index) + " of " + Name(list));
  }
  return r;
}

int ListBoxSelection(HWND list) {
  return static_cast<int>(SendTimed(list, LB_GETCURSEL, 0, 0, "LB_GETCURSEL"));
}

std::vector<int> ListBoxSelections(HWND list) {
  LRESULT n = SendTimed(list, LB_GETSELCOUNT, 0, 0, "LB_GETSELCOUNT");
  if (n == LB_ERR) Fail("LB_GETSELCOUNT on a single-selection list " + Name(list));
  std::vector<int> items(static_cast<size_t>(n) + 1);
  LRESULT got =
      SendTimed(list, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(items.data()), "LB_GETSELITEMS");
  items.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return items;
}

int ListBoxTopIndex(HWND list) {
  return static_cast<int>(SendTimed(list, LB_GETTOPINDEX, 0, 0, "LB_GETTOPINDEX"));
}

}  // namespace gui
