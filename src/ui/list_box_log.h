// The log of a run on the main window's list box: every line is painted as soon as it is
// added, so the user sees a run progress although it blocks the window.
#pragma once

#include <windows.h>

#include "engine/update_log.h"

class ListBoxLog : public UpdateLog {
 public:
  void Attach(HWND list) { list_ = list; }
  void Clear() override {
    if (!list_) return;
    ::SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    ::UpdateWindow(list_);
  }

 protected:
  void Append(const char* line) override {
    if (!list_) return;
    ::SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    ::UpdateWindow(list_);
  }

 private:
  HWND list_ = nullptr;
};
