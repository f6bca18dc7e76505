#include "ui/run_pump.h"

void RunPump::Pump() {
  DWORD now = ::GetTickCount();
  if (now - last_ < kIntervalMs) return;
  last_ = now;
  MSG msg;
  // Looking at the queue also handles the messages other threads send (WM_NULL and the like),
  // which is what tells the system the window is alive.
  for (int n = 0; n < kMaxMessages && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) {
      quitAsked_ = true;
      quitCode_ = static_cast<int>(msg.wParam);
      return;
    }
    if (dialog_ && ::IsDialogMessageA(dialog_, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}
