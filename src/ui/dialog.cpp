#include "ui/dialog.h"

#include <exception>
#include <vector>

namespace {

DialogHost g_host;
HBRUSH g_dialogBrush = nullptr;
COLORREF g_dialogBackground = RGB(192, 192, 192);
COLORREF g_dialogText = RGB(0, 0, 0);

}  // namespace

void SetDialogColors(COLORREF background, COLORREF text) {
  if (g_dialogBrush) ::DeleteObject(g_dialogBrush);
  g_dialogBrush = ::CreateSolidBrush(background);
  g_dialogBackground = background;
  g_dialogText = text;
}

void SetDialogHost(const DialogHost& host) { g_host = host; }

int HostMessageBox(const std::string& text, UINT type) {
  if (g_host.messageBox) return g_host.messageBox(text, type);
  return ::MessageBoxA(::GetActiveWindow(), text.c_str(), nullptr, type);
}

void HostReportError(const std::exception* error, bool fromCommand) {
  if (g_host.reportError) {
    g_host.reportError(error, fromCommand);
  } else {
    HostMessageBox(error ? error->what() : "An unexpected error occurred.", MB_OK | MB_ICONSTOP);
  }
}

Dialog::~Dialog() = default;

INT_PTR Dialog::DoModal(HWND owner) {
  if (!owner) owner = ::GetActiveWindow();
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner,
                           &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL Dialog::OnInitDialog() {
  DoDataExchange(false);
  return TRUE;
}

void Dialog::DoDataExchange(bool) {}

void Dialog::OnOK() {
  DoDataExchange(true);
  EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::OnCommand(int, int, HWND) { return false; }

HBRUSH Dialog::OnCtlColor(HDC dc, HWND, UINT message) {
  // Dialogs, static texts (read-only edits ask as statics too), buttons and message boxes
  // take the dialog colours; edits and lists keep the platform's.
  if (!g_dialogBrush) return nullptr;
  if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN ||
      message == WM_CTLCOLORMSGBOX) {
    ::SetBkColor(dc, g_dialogBackground);
    ::SetTextColor(dc, g_dialogText);
    return g_dialogBrush;
  }
  return nullptr;
}

bool Dialog::OnDrawItem(int, DRAWITEMSTRUCT*) { return false; }

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

void Dialog::ExchangeText(bool save, int id, std::string& value) {
  HWND control = Item(id);
  if (save) {
    int length = ::GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    ::GetWindowTextA(control, text.data(), length + 1);
    value = text.data();
  } else {
    ::SetWindowTextA(control, value.c_str());
  }
}

void Dialog::ExchangeCheck(bool save, int id, int& value) {
  if (save) {
    value = ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED ? 1 : 0;
  } else {
    ::CheckDlgButton(hwnd_, id, value ? BST_CHECKED : BST_UNCHECKED);
  }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  // The top-level dispatch: whatever a handler raises is reported here and the window
  // carries on. Nothing may unwind through the system's code.
  try {
    return self->Dispatch(message, wParam, lParam);
  } catch (const std::exception& e) {
    return Failed(hwnd, message, lParam, &e);
  } catch (...) {
    return Failed(hwnd, message, lParam, nullptr);
  }
}

INT_PTR Dialog::Failed(HWND hwnd, UINT message, LPARAM lParam, const std::exception* error) {
  if (message == WM_PAINT) {
    // A failed paint counts as painted and is not reported.
    ::ValidateRect(hwnd, nullptr);
    return TRUE;
  }
  HostReportError(error, message == WM_COMMAND && lParam == 0);
  // A command counts as handled; an initialisation lets the platform set the focus.
  return (message == WM_COMMAND || message == WM_INITDIALOG) ? TRUE : FALSE;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      int code = HIWORD(wParam);
      if (OnCommand(id, code, reinterpret_cast<HWND>(lParam))) return TRUE;
      if (id == IDOK && code == BN_CLICKED) {
        OnOK();
        return TRUE;
      }
      if (id == IDCANCEL && code == BN_CLICKED) {
        OnCancel();
        return TRUE;
      }
      return FALSE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
    case WM_DRAWITEM:
      return OnDrawItem(static_cast<int>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam))
                 ? TRUE
                 : FALSE;
    default:
      break;
  }
  INT_PTR result = 0;
  if (OnMessage(message, wParam, lParam, &result)) {
    ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
  }
  return FALSE;
}
