// RunPump: keeps the main window answering while a run holds its one thread. After every log
// line and between two entries the run lets it handle what is pending for the thread's
// windows (paint, messages other programs send, moves, the dialog's keys), so that the
// system never takes the window for hung. What the messages may start is for the window to
// refuse while the run goes on.
#pragma once

#include <windows.h>

class RunPump {
 public:
  void Attach(HWND dialog) { dialog_ = dialog; }

  // Handles the pending messages, unless it did so less than kIntervalMs ago. A WM_QUIT ends
  // the handling and is kept (quitAsked), for the window to post again once the run is over.
  void Pump();

  bool quitAsked() const { return quitAsked_; }
  int quitCode() const { return quitCode_; }

 private:
  // Often enough that input feels at once, rarely enough that a run of short entries pays
  // next to nothing (a look at the queue crosses to the Wine server).
  static constexpr DWORD kIntervalMs = 15;
  // A window that keeps asking to be painted must not stop the run.
  static constexpr int kMaxMessages = 64;

  HWND dialog_ = nullptr;
  DWORD last_ = 0;
  bool quitAsked_ = false;
  int quitCode_ = 0;
};
