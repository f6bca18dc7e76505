#include "ui/update_dialog.h"

#include <cstdio>

#include "app/app_state.h"
#include "resources/resource.h"
#include "ui/directory_chooser.h"
#include "ui/options_dialog.h"

UpdateDialog::UpdateDialog(AppState& app) : Dialog(IDD_MAIN), app_(app) {}

UpdateDialog::~UpdateDialog() {
  if (app_.log == &log_) app_.log = nullptr;
}

void UpdateDialog::DoDataExchange(bool save) {
  if (!cancelButton_) {
    cancelButton_ = Item(IDCANCEL);
    updateButton_ = Item(IDC_UPDATE);
    checkButton_ = Item(IDC_CHECK);
    optionsButton_ = Item(IDC_OPTIONS);
    logList_ = Item(IDC_LOG);
  }
  ExchangeText(save, IDC_PATH, pathText);
  ExchangeText(save, IDC_DESCRIPTION, descriptionText);
}

BOOL UpdateDialog::OnInitDialog() {
  DoDataExchange(false);
  log_.Attach(logList_);
  app_.log = &log_;
  OpenUpdateFile(*this, app_);
  return TRUE;
}

bool UpdateDialog::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_CHECK:
      RunAndReport(false);
      return true;
    case IDC_UPDATE:
      RunAndReport(true);
      return true;
    case IDC_OPTIONS:
      ShowOptions(app_.document, *app_.updateFile);
      return true;
    case IDC_BROWSE:
      Browse();
      return true;
    default:
      return false;
  }
}

HBRUSH UpdateDialog::OnCtlColor(HDC dc, HWND control, UINT message) {
  HBRUSH brush = Dialog::OnCtlColor(dc, control, message);
  if (message == WM_CTLCOLORSTATIC && ::GetDlgCtrlID(control) == IDC_DESCRIPTION) {
    ::SetBkColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  }
  return brush;
}

void UpdateDialog::RunAndReport(bool doUpdate) {
  app_.runOk = true;
  app_.updateNeeded = false;
  DoDataExchange(true);
  std::snprintf(app_.installDir, sizeof app_.installDir, "%s", pathText.c_str());
  HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  struct RestoreCursor {
    HCURSOR cursor;
    ~RestoreCursor() { ::SetCursor(cursor); }
  } restore{previous};
  app_.document.Run(*app_.updateFile, doUpdate, app_);
  ::SetCursor(previous);

  std::string text;
  UINT icon = MB_ICONEXCLAMATION;
  bool updated = false;
  if (app_.runOk) {
    if (doUpdate) {
      text = app_.productName + " was sucessfully updated";
      updated = true;
    } else if (app_.updateNeeded) {
      text = app_.productName + " can be sucessfully updated";
    } else {
      text = app_.productName + " is up to date";
    }
  } else {
    icon = MB_ICONSTOP;
    text = doUpdate ? app_.failureMessage : app_.productName + " can not be succesfully updated";
  }
  if (updated) {
    ::SetWindowTextA(cancelButton_, "Close");
    ::ShowWindow(checkButton_, SW_HIDE);
    ::ShowWindow(updateButton_, SW_HIDE);
    ::ShowWindow(optionsButton_, SW_HIDE);
  }
  ::MessageBoxA(hwnd(), text.c_str(), "Velloran", MB_OK | icon);
}

void UpdateDialog::Browse() {
  DirectoryChooser chooser;
  std::string directory;
  if (chooser.Choose(hwnd(), &directory)) ::SetDlgItemTextA(hwnd(), IDC_PATH, directory.c_str());
}
