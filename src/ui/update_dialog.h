// UpdateDialog: the main window (template 101). Opening fills it from the update file's
// header; Check and Update run the engine and close with one message box. During a run the
// window still handles its messages, but starts nothing: a close request stops the run
// between two files and then closes the window.
#pragma once

#include <atomic>
#include <string>

#include "ui/dialog.h"
#include "ui/list_box_log.h"
#include "ui/run_pump.h"

struct AppState;

class UpdateDialog : public Dialog {
 public:
  explicit UpdateDialog(AppState& app);
  ~UpdateDialog() override;

  // Runs a check (false) or an update (true) and shows the closing message.
  void RunAndReport(bool doUpdate);

  std::string pathText;
  std::string descriptionText;

 protected:
  void DoDataExchange(bool save) override;
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

 private:
  class RunScope;

  // The window's initialisation (opening.cpp): reads and checks the update file's header
  // and fills the window, or refuses the file and ends the window.
  void OpenUpdateFile();
  void Browse();

  AppState& app_;
  ListBoxLog log_;
  HWND cancelButton_ = nullptr;
  HWND updateButton_ = nullptr;
  HWND checkButton_ = nullptr;
  HWND optionsButton_ = nullptr;
  HWND logList_ = nullptr;
  bool updated_ = false;           // a successful update: Check, Update and Options are gone
  bool running_ = false;           // a run is under way: RunAndReport is on the stack
  bool closeAsked_ = false;        // the user asked to close during the run
  std::atomic<bool> stop_{false};  // the run's stopRequested
  RunPump pump_;
};
