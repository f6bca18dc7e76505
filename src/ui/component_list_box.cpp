#include "ui/component_list_box.h"

#include <exception>

#include "model/update_item.h"
#include "ui/dialog.h"

namespace {
const char kSelfProperty[] = "VareriComponentList";
}

ComponentListBox::~ComponentListBox() {
  if (list_ && previous_ && ::IsWindow(list_)) {
    ::SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    ::RemovePropA(list_, kSelfProperty);
  }
}

void ComponentListBox::Attach(HWND list) {
  list_ = list;
  ::SetPropA(list_, kSelfProperty, this);
  previous_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListProc)));
}

void ComponentListBox::AddRow(CUpdateItem* item) {
  LRESULT row = ::SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  if (row >= 0) ::SendMessageA(list_, LB_SETITEMDATA, row, reinterpret_cast<LPARAM>(item));
}

CUpdateItem* ComponentListBox::ItemAt(int row) const {
  LRESULT data = ::SendMessageA(list_, LB_GETITEMDATA, row, 0);
  if (data == LB_ERR) return nullptr;
  return reinterpret_cast<CUpdateItem*>(data);
}

int ComponentListBox::Selection() const {
  return static_cast<int>(::SendMessageA(list_, LB_GETCURSEL, 0, 0));
}

LRESULT CALLBACK ComponentListBox::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<ComponentListBox*>(::GetPropA(hwnd, kSelfProperty));
  if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  WNDPROC previous = self->previous_;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    ::RemovePropA(hwnd, kSelfProperty);
    self->list_ = nullptr;
    return ::CallWindowProcA(previous, hwnd, message, wParam, lParam);
  }
  LRESULT result = ::CallWindowProcA(previous, hwnd, message, wParam, lParam);
  if (message == WM_LBUTTONDOWN) {
    try {
      self->ToggleAtPress(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    } catch (const std::exception& e) {
      HostReportError(&e, false);
    } catch (...) {
      HostReportError(nullptr, false);
    }
  }
  return result;
}

void ComponentListBox::ToggleAtPress(int x, int) {
  int height = static_cast<int>(::SendMessageA(list_, LB_GETITEMHEIGHT, 0, 0));
  if (x >= height) return;
  int row = Selection();
  if (row == LB_ERR) return;
  CUpdateItem* item = ItemAt(row);
  if (!item) return;
  item->pendingSelected = !item->pendingSelected;
  RECT rect;
  if (::SendMessageA(list_, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)) == LB_ERR) {
    return;
  }
  RECT square = {rect.left, rect.top, rect.left + height + 1, rect.bottom};
  ::InvalidateRect(list_, &square, FALSE);
}

void ComponentListBox::DrawRow(const DRAWITEMSTRUCT& draw) {
  const RECT& row = draw.rcItem;
  int h = row.bottom - row.top;
  RECT text = row;
  text.left += h + 2;
  if (draw.itemAction == ODA_FOCUS) {
    ::DrawFocusRect(draw.hDC, &text);
    return;
  }
  if (draw.itemAction != ODA_DRAWENTIRE && draw.itemAction != ODA_SELECT) return;
  if (static_cast<int>(draw.itemID) < 0) {
    // An empty list asks only to place its focus rectangle.
    if (draw.itemState & ODS_FOCUS) ::DrawFocusRect(draw.hDC, &text);
    return;
  }
  bool selected = (draw.itemState & ODS_SELECTED) != 0;
  COLORREF background = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
  COLORREF foreground = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  HBRUSH brush = ::CreateSolidBrush(background);
  ::FillRect(draw.hDC, &text, brush);
  ::DeleteObject(brush);
  COLORREF previousText = ::SetTextColor(draw.hDC, foreground);
  if (draw.itemState & ODS_FOCUS) ::DrawFocusRect(draw.hDC, &text);
  CUpdateItem* item = ItemAt(static_cast<int>(draw.itemID));
  if (item) {
    ::SetBkMode(draw.hDC, TRANSPARENT);
    ::ExtTextOutA(draw.hDC, text.left + 1, row.top, ETO_CLIPPED, &text, item->componentName.c_str(),
                  static_cast<UINT>(item->componentName.size()), nullptr);
  }
  ::SetTextColor(draw.hDC, previousText);
  if (item) DrawCheckBox(draw.hDC, row, item->pendingSelected);
}

void DrawCheckBox(HDC dc, const RECT& row, bool checked) {
  int h = row.bottom - row.top;
  int x0 = row.left + 2;
  int y0 = row.top + 1;
  int s = h - 3;
  int x1 = x0 + s;
  int y1 = y0 + s;
  ::Rectangle(dc, x0, y0, x1, y1);
  if (checked) {
    ::MoveToEx(dc, x0, y0, nullptr);
    ::LineTo(dc, x1, y1);
    ::MoveToEx(dc, x0, y1 - 1, nullptr);
    ::LineTo(dc, x1, y0 - 1);
  }
}
