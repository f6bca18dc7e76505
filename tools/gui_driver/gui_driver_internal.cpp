// The helpers the GUI driver's sources share: see gui_driver_internal.h.
#include "gui_driver_internal.h"

#include <cstdio>

namespace gui {
namespace {

BOOL CALLBACK CollectChild(HWND w, LPARAM lparam) {
  reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(w);
  return TRUE;
}

}  // namespace

std::string ErrorText(DWORD code) {
  char buf[256] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buf, sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ')) buf[--n] = 0;
  char out[320];
  std::snprintf(out, sizeof out, "error %lu%s%s", static_cast<unsigned long>(code), n ? ": " : "",
                buf);
  return out;
}

[[noreturn]] void Fail(const std::string& what) { throw DriverError(what); }
[[noreturn]] void FailLastError(const std::string& what) {
  throw DriverError(what + " (" + ErrorText(GetLastError()) + ")");
}

std::string Hex(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
  return buf;
}

std::string Name(HWND w) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " id %d (%s)", GetDlgCtrlID(w), Hex(w).c_str());
  return WindowClass(w) + " '" + WindowCaption(w) + "'" + buf;
}

LRESULT SendTimed(HWND w, UINT msg, WPARAM wparam, LPARAM lparam, const char* what) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(w, msg, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs,
                           &result)) {
    FailLastError(std::string(what) + " to " + Name(w) + " got no answer");
  }
  return static_cast<LRESULT>(result);
}

std::string Narrow(const WCHAR* text, int length) {
  if (length <= 0) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, nullptr);
  return out;
}

void PostOrFail(HWND w, UINT msg, WPARAM wparam, LPARAM lparam, const char* what) {
  if (!PostMessageA(w, msg, wparam, lparam)) {
    FailLastError(std::string("posting ") + what + " to " + Hex(w));
  }
}

void RequireWindow(HWND w, const char* what) {
  if (w == nullptr || !IsWindow(w)) Fail(std::string(what) + ": no such window " + Hex(w));
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> direct;
  for (HWND w : all) {
    if (GetParent(w) == parent) direct.push_back(w);
  }
  return direct;
}

bool IsClass(HWND w, const char* name) { return lstrcmpiA(WindowClass(w).c_str(), name) == 0; }

LONG Style(HWND w) { return GetWindowLongA(w, GWL_STYLE); }

RECT ScreenRect(HWND w) {
  RECT r;
  if (!GetWindowRect(w, &r)) FailLastError("GetWindowRect of " + Hex(w));
  return r;
}

POINT ToScreen(HWND w, POINT client) {
  if (!ClientToScreen(w, &client)) FailLastError("ClientToScreen of " + Hex(w));
  return client;
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  ScopedWindowDc screen{nullptr, GetDC(nullptr)};
  dc_.h = CreateCompatibleDC(screen.h);
  if (!dc_.h) FailLastError("CreateCompatibleDC");
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  bitmap_.h = CreateDIBSection(dc_.h, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
  if (!bitmap_.h) FailLastError("CreateDIBSection");
  old_ = SelectObject(dc_.h, bitmap_.h);
}

Bitmap Canvas::Pixels() const {
  GdiFlush();
  Bitmap b;
  b.width = width_;
  b.height = height_;
  const auto* p = static_cast<const uint32_t*>(bits_);
  b.pixels.assign(p, p + static_cast<size_t>(width_) * height_);
  for (auto& px : b.pixels) px &= 0x00FFFFFF;
  return b;
}

}  // namespace gui
