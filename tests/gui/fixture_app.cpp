// A small dialog program the GUI driver's own tests drive: the same kind of window as
// vareri.exe (a modal dialog from a template, controls by id, message boxes, a file
// dialog), built from an in-memory template so it needs no resource compiler.
//
// Command line: it shows its own command line verbatim in IDC_CMDLINE; `--exit-code=N`
// sets the code OK ends it with (Cancel/Escape ends it with 3). Hang stops answering
// messages for 20 s.
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fixture_ids.h"

namespace {

int okExitCode = 0;
HBRUSH swatchBrush = nullptr;

// Builds a DLGTEMPLATE with its items in memory; every item starts on a DWORD boundary.
class TemplateBuilder {
 public:
  TemplateBuilder(const char* title, short cx, short cy) {
    DLGTEMPLATE dlg = {};
    dlg.style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    dlg.cx = cx;
    dlg.cy = cy;
    Append(&dlg, sizeof dlg);
    countOffset_ = offsetof(DLGTEMPLATE, cdit);
    Word(0);  // no menu
    Word(0);  // default dialog class
    Text(title);
    Word(8);  // point size
    Text("MS Shell Dlg");
  }

  // class_atom: 0x80 button, 0x81 edit, 0x82 static, 0x83 list box.
  void Item(WORD class_atom, const char* text, int id, DWORD style, short x, short y, short cx,
            short cy) {
    Align();
    DLGITEMTEMPLATE item = {};
    item.style = style | WS_CHILD;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = static_cast<WORD>(id);
    Append(&item, sizeof item);
    Word(0xFFFF);
    Word(class_atom);
    Text(text);
    Word(0);  // no creation data
    WORD count;
    std::memcpy(&count, bytes_.data() + countOffset_, sizeof count);
    ++count;
    std::memcpy(bytes_.data() + countOffset_, &count, sizeof count);
  }

  const DLGTEMPLATE* Get() {
    Align();
    return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data());
  }

 private:
  void Append(const void* data, size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void Word(WORD w) { Append(&w, sizeof w); }
  void Text(const char* s) {
    for (; *s; ++s) Word(static_cast<unsigned char>(*s));
    Word(0);
  }
  void Align() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }

  // operator new aligns the buffer for DWORDs, as DialogBoxIndirect requires.
  std::vector<unsigned char> bytes_;
  size_t countOffset_ = 0;
};

void AddLine(HWND dlg, const std::string& line) {
  SendDlgItemMessageA(dlg, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void ShowBox(HWND dlg, const char* name, const char* text, const char* caption, UINT type) {
  int answer = MessageBoxA(dlg, text, caption, type);
  char line[64];
  std::snprintf(line, sizeof line, "%s -> %d", name, answer);
  AddLine(dlg, line);
}

void OpenFile(HWND dlg) {
  char path[MAX_PATH] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dlg;
  ofn.lpstrFilter = "Update files (*.upd)\0*.upd\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  ofn.lpstrTitle = "Open fixture file";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (GetOpenFileNameA(&ofn)) {
    SetDlgItemTextA(dlg, IDC_EDIT, path);
    AddLine(dlg, std::string("open -> ") + path);
  } else {
    AddLine(dlg, "open -> cancelled");
  }
}

void SetStatus(HWND dlg, const char* what, LRESULT index) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %ld", what, static_cast<long>(index));
  SetDlgItemTextA(dlg, IDC_STATUS, text);
}

INT_PTR CALLBACK FixtureProc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetDlgItemTextA(dlg, IDC_CMDLINE, GetCommandLineA());
      for (const char* s : {"alpha", "beta", "gamma"}) AddLine(dlg, s);
      for (COLORREF c : {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 255, 0)}) {
        SendDlgItemMessageA(dlg, IDC_DRAWN, LB_ADDSTRING, 0, static_cast<LPARAM>(c));
      }
      return TRUE;
    }
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      mis->itemHeight = 16;
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      if (dis->CtlID != IDC_DRAWN || dis->itemID == static_cast<UINT>(-1)) return FALSE;
      HBRUSH fill = CreateSolidBrush(static_cast<COLORREF>(dis->itemData));
      FillRect(dis->hDC, &dis->rcItem, fill);
      DeleteObject(fill);
      if (dis->itemState & ODS_SELECTED) {
        RECT inner = dis->rcItem;
        InflateRect(&inner, -2, -2);
        FrameRect(dis->hDC, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      }
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) == IDC_SWATCH) {
        SetBkColor(reinterpret_cast<HDC>(wparam), RGB(255, 0, 0));
        return reinterpret_cast<INT_PTR>(swatchBrush);
      }
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          EndDialog(dlg, okExitCode);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, 3);
          return TRUE;
        case IDC_WARN:
          ShowBox(dlg, "warn", "The disk is almost full.\nFree some space.", "Fixture warning",
                  MB_OK | MB_ICONEXCLAMATION);
          return TRUE;
        case IDC_ASK:
          ShowBox(dlg, "ask", "Keep the previous versions?", "Fixture question",
                  MB_YESNOCANCEL | MB_ICONQUESTION);
          return TRUE;
        case IDC_STOP:
          ShowBox(dlg, "stop", "The update file is damaged.", "Fixture error", MB_OK | MB_ICONHAND);
          return TRUE;
        case IDC_INFO:
          ShowBox(dlg, "info", "All files are up to date.", "Fixture information",
                  MB_OKCANCEL | MB_ICONASTERISK);
          return TRUE;
        case IDC_PLAIN:
          ShowBox(dlg, "plain", "No icon here.", "Fixture plain", MB_OK);
          return TRUE;
        case IDC_OPEN:
          OpenFile(dlg);
          return TRUE;
        case IDC_HANG:
          Sleep(20000);  // stops answering messages, as a hung program does
          return TRUE;
        case IDC_LIST:
          if (HIWORD(wparam) == LBN_SELCHANGE || HIWORD(wparam) == LBN_DBLCLK) {
            SetStatus(dlg, HIWORD(wparam) == LBN_DBLCLK ? "double" : "list",
                      SendDlgItemMessageA(dlg, IDC_LIST, LB_GETCURSEL, 0, 0));
          }
          return TRUE;
        case IDC_DRAWN:
          if (HIWORD(wparam) == LBN_SELCHANGE) {
            SetStatus(dlg, "drawn", SendDlgItemMessageA(dlg, IDC_DRAWN, LB_GETCURSEL, 0, 0));
          }
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdline, int) {
  if (const char* code = std::strstr(cmdline, "--exit-code=")) {
    okExitCode = std::atoi(code + std::strlen("--exit-code="));
  }
  swatchBrush = CreateSolidBrush(RGB(255, 0, 0));

  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  TemplateBuilder t("Driver Fixture - ready", 300, 190);
  t.Item(0x81, "", IDC_CMDLINE, WS_VISIBLE | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 7, 7, 286,
         14);
  t.Item(0x81, "", IDC_EDIT, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 25, 140, 14);
  t.Item(0x83, "", IDC_LIST, WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 7, 43,
         140, 52);
  t.Item(
      0x83, "", IDC_DRAWN,
      WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT,
      7, 99, 140, 60);
  t.Item(0x82, "ready", IDC_STATUS, WS_VISIBLE | SS_LEFT, 7, 165, 140, 10);
  t.Item(0x80, "&Warn", IDC_WARN, button, 153, 25, 60, 14);
  t.Item(0x80, "&Ask", IDC_ASK, button, 153, 43, 60, 14);
  t.Item(0x80, "&Stop", IDC_STOP, button, 153, 61, 60, 14);
  t.Item(0x80, "&Info", IDC_INFO, button, 153, 79, 60, 14);
  t.Item(0x80, "&Plain", IDC_PLAIN, button, 153, 97, 60, 14);
  t.Item(0x80, "&Open...", IDC_OPEN, button, 153, 115, 60, 14);
  t.Item(0x80, "&Hang", IDC_HANG, button, 153, 133, 60, 14);
  t.Item(0x82, "", IDC_SWATCH, WS_VISIBLE | SS_LEFT, 220, 25, 40, 40);
  t.Item(0x80, "Disabled", IDC_DISABLED, button | WS_DISABLED, 220, 70, 60, 14);
  t.Item(0x80, "Hidden", IDC_HIDDEN, (button & ~WS_VISIBLE), 220, 88, 60, 14);
  t.Item(0x80, "OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 180, 168, 50, 14);
  t.Item(0x80, "Cancel", IDCANCEL, button, 236, 168, 50, 14);

  INT_PTR result = DialogBoxIndirectParamA(instance, t.Get(), nullptr, FixtureProc, 0);
  DeleteObject(swatchBrush);
  return static_cast<int>(result);
}
