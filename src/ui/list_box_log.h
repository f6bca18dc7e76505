// The log of a run on the main window's list box: every line is painted as soon as it is
// added, and the window then handles what is pending (RunPump), so the user sees a run
// progress and can still move, uncover or close the window.
// A line added below the list's view is painted when the user scrolls to it; until then only
// the scroll bar changes, and redrawing scroll bars after every line costs more than checking
// the line's file (milliseconds each under Wine): such lines are added with the list's
// drawing held, the scroll bar catching up a few times a second and when the run ends.
#pragma once

#include <windows.h>

#include "engine/update_log.h"
#include "ui/run_pump.h"

class ListBoxLog : public UpdateLog {
 public:
  void Attach(HWND list) { list_ = list; }
  // While a run goes on: the pump each line is followed by (null: none).
  void SetPump(RunPump* pump) { pump_ = pump; }

  void Clear() override {
    if (!list_) return;
    ::SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    Show();
  }

  // Ends a run: the list draws again, its scroll bar showing every line added.
  // REQUIRES: called after every run, also one ended by a raised failure.
  void Flush() {
    if (list_ && held_) Show();
  }

 protected:
  void Append(const char* line) override {
    if (!list_) return;
    LRESULT index = ::SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    if (index < 0 || InView(index)) {
      Show();
    } else {
      if (!held_ || ::GetTickCount() - shown_ >= kScrollBarMs) Show();
      Hold();
    }
    if (pump_) pump_->Pump();
  }

 private:
  static constexpr DWORD kScrollBarMs = 250;

  bool InView(LRESULT index) const {
    RECT item, client;
    ::SendMessageA(list_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&item));
    ::GetClientRect(list_, &client);
    return item.top < client.bottom && item.bottom > client.top;
  }

  // Lets the list draw and paints what changed since it last did.
  void Show() {
    if (held_) ::SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    held_ = false;
    ::UpdateWindow(list_);
    shown_ = ::GetTickCount();
  }

  void Hold() {
    if (!held_) ::SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    held_ = true;
  }

  HWND list_ = nullptr;
  RunPump* pump_ = nullptr;
  bool held_ = false;  // the list's drawing is held (WM_SETREDRAW FALSE)
  DWORD shown_ = 0;    // when the list last drew (GetTickCount)
};
