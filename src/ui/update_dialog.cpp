#include "ui/update_dialog.h"

#include "resources/resource.h"
#include "session/app_state.h"
#include "session/closing_message.h"
#include "session/run_request.h"
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
  OpenUpdateFile();
  return TRUE;
}

bool UpdateDialog::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  // After a successful update the hidden buttons are gone for good, also for the Enter
  // key, which would still send the old default button's command.
  if (updated_ && (id == IDC_CHECK || id == IDC_UPDATE || id == IDC_OPTIONS)) return true;
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
  DoDataExchange(true);
  SetInstallDir(app_, pathText);
  {
    // The log and the cursor are restored when the run returns, and when it raises.
    struct RunScope {
      ListBoxLog& log;
      HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
      ~RunScope() {
        log.Flush();
        ::SetCursor(previous);
      }
    } scope{log_};
    StartRun(app_, doUpdate);
  }
  ClosingMessage closing = MakeClosingMessage(app_.productName, app_.failureMessage, doUpdate,
                                              app_.runOk, app_.updateNeeded);
  if (closing.updated) {
    updated_ = true;
    ::SetWindowTextA(cancelButton_, "Close");
    ::ShowWindow(checkButton_, SW_HIDE);
    ::ShowWindow(updateButton_, SW_HIDE);
    ::ShowWindow(optionsButton_, SW_HIDE);
    // Enter now means Close: the default button moves there, and its look with it.
    ::SendMessageA(hwnd(), DM_SETDEFID, IDCANCEL, 0);
  }
  ::MessageBoxA(hwnd(), closing.text.c_str(), "Velloran",
                MB_OK | (closing.stop ? MB_ICONSTOP : MB_ICONEXCLAMATION));
}

void UpdateDialog::Browse() {
  DirectoryChooser chooser;
  std::string directory;
  if (chooser.Choose(hwnd(), &directory)) ::SetDlgItemTextA(hwnd(), IDC_PATH, directory.c_str());
}
