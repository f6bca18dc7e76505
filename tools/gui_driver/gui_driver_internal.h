// What the GUI driver's sources share: failing with DriverError, naming a window in a
// message, messages that cannot hang on a dead program, and GDI objects that free
// themselves. Only the driver's own files include it; its users see gui_driver.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui_driver.h"

namespace gui {

// The control id of a message box's text, on Windows and Wine alike.
constexpr int kMessageBoxTextId = 0xFFFF;

// "error 5: Access is denied.": the code with the system's text for it.
std::string ErrorText(DWORD code);
[[noreturn]] void Fail(const std::string& what);
// Fail, with GetLastError's code and text appended.
[[noreturn]] void FailLastError(const std::string& what);

std::string Hex(const void* p);
// "Button 'OK' id 1 (0x1234)": how error messages name a window.
std::string Name(HWND w);

// Sends `msg` with a timeout; raises DriverError when the window does not answer.
// Text travels as UTF-16 (SendMessageTimeoutW): Wine 8 answers a cross-process LB_GETTEXT
// sent with the A function in UTF-16 anyway, overrunning an ANSI-sized buffer.
LRESULT SendTimed(HWND w, UINT msg, WPARAM wparam, LPARAM lparam, const char* what);
// The UTF-16 text SendTimed brought back, in the ANSI code page the driver's API uses.
std::string Narrow(const WCHAR* text, int length);
void PostOrFail(HWND w, UINT msg, WPARAM wparam, LPARAM lparam, const char* what);
// Raises DriverError, naming `what`, unless `w` is a window.
void RequireWindow(HWND w, const char* what);

// The direct children of `parent`, in Z order (the order of the dialog template).
std::vector<HWND> Children(HWND parent);
bool IsClass(HWND w, const char* name);
LONG Style(HWND w);
RECT ScreenRect(HWND w);
POINT ToScreen(HWND w, POINT client);

// Deletes a GDI object / a memory DC / releases a window DC on scope exit.
struct ScopedGdiObject {
  HGDIOBJ h;
  ~ScopedGdiObject() {
    if (h) DeleteObject(h);
  }
};
struct ScopedMemoryDc {
  HDC h;
  ~ScopedMemoryDc() {
    if (h) DeleteDC(h);
  }
};
struct ScopedWindowDc {
  HWND w;
  HDC h;
  ~ScopedWindowDc() {
    if (h) ReleaseDC(w, h);
  }
};

// A 32-bit top-down DIB section selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas() { SelectObject(dc_.h, old_); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_.h; }
  Bitmap Pixels() const;

 private:
  int width_, height_;
  ScopedMemoryDc dc_{nullptr};
  ScopedGdiObject bitmap_{nullptr};
  void* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace gui
