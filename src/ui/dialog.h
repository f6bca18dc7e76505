// The dialog layer: a modal dialog over DialogBoxParamA with initialisation, data
// exchange, OK/Cancel and hooks for commands, control colours and owner drawing. Its
// window procedure is the top-level dispatch: no exception ever leaves it.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

// The application-wide dialog colours (button-face background, window-text foreground),
// read once at start-up.
void SetDialogColors(COLORREF background, COLORREF text);

// What the windows ask of the application around them: its message box (captioned with the
// program's name, with its icon rule) and its report of an error that escaped the handling of
// a window message. Start-up sets both before any window opens.
struct DialogHost {
  int (*messageBox)(const std::string& text, UINT type) = nullptr;
  void (*reportError)(const std::exception* error, bool fromCommand) = nullptr;
};
void SetDialogHost(const DialogHost& host);

// The application's message box; the system's own, captioned by nothing, before start-up has
// set one.
int HostMessageBox(const std::string& text, UINT type);

// The application's report of `error` (null: of no known kind); a plain stop box before
// start-up has set one.
void HostReportError(const std::exception* error, bool fromCommand);

class Dialog {
 public:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally, owned by `owner` (null: the active window). Returns IDOK,
  // IDCANCEL or what EndDialog was given.
  INT_PTR DoModal(HWND owner = nullptr);

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }

 protected:
  // After the controls exist, before the dialog shows: exchanges data towards the
  // controls. Return TRUE to let the platform set the default focus.
  virtual BOOL OnInitDialog();
  // Moves values between members and controls: `save` true reads the controls.
  virtual void DoDataExchange(bool save);
  virtual void OnOK();
  virtual void OnCancel();
  // Returns true when the command was handled.
  virtual bool OnCommand(int id, int code, HWND control);
  // The brush a control is painted with; the default gives the dialog colours.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
  virtual bool OnDrawItem(int id, DRAWITEMSTRUCT* item);
  // Any other message; return true with `result` set when handled.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

  // Data exchange helpers.
  void ExchangeText(bool save, int id, std::string& value);
  void ExchangeCheck(bool save, int id, int& value);

  void EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR Failed(HWND hwnd, UINT message, LPARAM lParam, const std::exception* error);

  int templateId_;
  HWND hwnd_ = nullptr;
};
