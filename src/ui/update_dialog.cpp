#include "ui/update_dialog.h"

#include <string>

#include "model/limits.h"
#include "resources/resource.h"
#include "session/app_state.h"
#include "session/closing_message.h"
#include "session/run_request.h"
#include "ui/directory_chooser.h"
#include "ui/options_dialog.h"

namespace {

// The controls that start something, or feed the next run, disabled while a run goes on.
constexpr int kRunStarters[] = {IDC_CHECK, IDC_UPDATE, IDC_OPTIONS, IDC_BROWSE, IDC_PATH};

}  // namespace

// A run under way: what starts something disabled, the wait cursor, the log and the run
// handing the thread to the pump; all undone when the run returns and when it raises.
class UpdateDialog::RunScope {
 public:
  explicit RunScope(UpdateDialog& dialog) : d_(dialog), focus_(::GetFocus()) {
    d_.running_ = true;
    d_.closeAsked_ = false;
    d_.stop_ = false;
    // The keys of the dialog (Escape) still arrive through a control that stays enabled.
    ::SendMessageA(d_.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d_.logList_), TRUE);
    for (int id : kRunStarters) ::EnableWindow(d_.Item(id), FALSE);
    previous_ = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    d_.log_.SetPump(&d_.pump_);
    d_.app_.stopRequested = &d_.stop_;
    d_.app_.betweenEntries = [&pump = d_.pump_] { pump.Pump(); };
  }
  ~RunScope() {
    d_.app_.betweenEntries = nullptr;
    d_.app_.stopRequested = nullptr;
    d_.log_.SetPump(nullptr);
    d_.log_.Flush();
    for (int id : kRunStarters) ::EnableWindow(d_.Item(id), TRUE);
    if (focus_ && ::IsWindowVisible(focus_) && ::IsWindowEnabled(focus_)) {
      ::SendMessageA(d_.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus_), TRUE);
    }
    ::SetCursor(previous_);
    d_.running_ = false;
    // A close asked for during the run is carried out now that it is over.
    if (d_.pump_.quitAsked()) {
      ::PostQuitMessage(d_.pump_.quitCode());
    } else if (d_.closeAsked_) {
      ::PostMessageA(d_.hwnd(), WM_CLOSE, 0, 0);
    }
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  UpdateDialog& d_;
  HWND focus_;
  HCURSOR previous_ = nullptr;
};

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
  pump_.Attach(hwnd());
  app_.log = &log_;
  OpenUpdateFile();
  return TRUE;
}

bool UpdateDialog::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (running_) {
    // One run at a time, and no window over it: only a close request counts, which stops
    // the run between two files (WM_CLOSE, Escape and the system menu all arrive as Cancel).
    if (id == IDCANCEL) {
      closeAsked_ = true;
      stop_ = true;
    }
    return true;
  }
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

bool UpdateDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
  // The wait cursor stays over the window while a run goes on.
  if (message != WM_SETCURSOR || !running_) return false;
  ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  *result = TRUE;
  return true;
}

void UpdateDialog::RunAndReport(bool doUpdate) {
  if (running_) return;
  DoDataExchange(true);
  if (!SetInstallDir(app_, pathText)) {
    // Never shortened to fit: a shorter path would name another directory.
    std::string text = "The path is longer than " + std::to_string(kMaxPathLength) +
                       " characters.\nChoose a shorter installation directory.";
    ::MessageBoxA(hwnd(), text.c_str(), "Velloran", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  {
    RunScope scope(*this);
    StartRun(app_, doUpdate);
  }
  if (closeAsked_) return;  // the window closes instead
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
