// The GUI driver: see gui_driver.h.
#include "gui_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gui {
namespace {

// Control ids of the common file dialogs (dlgs.h): the file name combo of the explorer
// style, the file name edit of the old style.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;
constexpr int kMessageBoxTextId = 0xFFFF;

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

// "Button 'OK' id 1 (0x1234)": how error messages name a window.
std::string Name(HWND w) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " id %d (%s)", GetDlgCtrlID(w), Hex(w).c_str());
  return WindowClass(w) + " '" + WindowCaption(w) + "'" + buf;
}

// Sends `msg` with a timeout; raises DriverError when the window does not answer.
// Text travels as UTF-16 (SendMessageTimeoutW): Wine 8 answers a cross-process LB_GETTEXT
// sent with the A function in UTF-16 anyway, overrunning an ANSI-sized buffer.
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

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
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

class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() {
    if (h_) RegCloseKey(h_);
  }
  HKEY* Out() { return &h_; }
  HKEY Get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

// A 32-bit top-down DIB section selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
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
  ~Canvas() { SelectObject(dc_.h, old_); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_.h; }
  Bitmap Pixels() const {
    GdiFlush();
    Bitmap b;
    b.width = width_;
    b.height = height_;
    const auto* p = static_cast<const uint32_t*>(bits_);
    b.pixels.assign(p, p + static_cast<size_t>(width_) * height_);
    for (auto& px : b.pixels) px &= 0x00FFFFFF;
    return b;
  }

 private:
  int width_, height_;
  ScopedMemoryDc dc_{nullptr};
  ScopedGdiObject bitmap_{nullptr};
  void* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

struct EnumState {
  DWORD pid;
  std::vector<HWND>* out;
};

BOOL CALLBACK CollectTopWindow(HWND w, LPARAM lparam) {
  auto* state = reinterpret_cast<EnumState*>(lparam);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == state->pid && IsWindowVisible(w)) state->out->push_back(w);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM lparam) {
  reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(w);
  return TRUE;
}

// The direct children of `parent`, in Z order (the order of the dialog template).
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

HWND MessageBoxIconControl(HWND box) {
  // Windows gives the icon id 20, Wine 0x440 (stc1): find it by its style instead.
  for (HWND c : Children(box)) {
    if (IsClass(c, "Static") && (Style(c) & SS_TYPEMASK) == SS_ICON) return c;
  }
  return nullptr;
}

RECT ScreenRect(HWND w) {
  RECT r;
  if (!GetWindowRect(w, &r)) FailLastError("GetWindowRect of " + Hex(w));
  return r;
}

POINT ToScreen(HWND w, POINT client) {
  if (!ClientToScreen(w, &client)) FailLastError("ClientToScreen of " + Hex(w));
  return client;
}

bool SameColour(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    int da = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(da) > tolerance) return false;
  }
  return true;
}

void SendInputs(std::vector<INPUT>& inputs, const char* what) {
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) FailLastError(std::string("SendInput of ") + what);
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

LPARAM KeyLparam(UINT vk, bool up) {
  UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  // Repeat count 1, the scan code; a release also has the previous-state and transition bits.
  DWORD l = 1 | ((scan & 0xFF) << 16);
  if (up) l |= 0xC0000000u;
  return static_cast<LPARAM>(l);
}

}  // namespace

// ---- Handles and paths ---------------------------------------------------------------

ScopedHandle& ScopedHandle::operator=(ScopedHandle&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

HANDLE ScopedHandle::Release() {
  HANDLE h = h_;
  h_ = nullptr;
  return h;
}

void ScopedHandle::Reset(HANDLE h) {
  if (Valid()) CloseHandle(h_);
  h_ = h;
}

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  // Wine exports its own mapping; on Windows there is none and the fallback is never hit.
  using DosName = WCHAR*(CDECL*)(const char*);
  auto dos_name = reinterpret_cast<DosName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (dos_name) {
    if (WCHAR* w = dos_name(path.c_str())) {
      char buf[MAX_PATH * 2];
      int n = WideCharToMultiByte(CP_ACP, 0, w, -1, buf, sizeof buf, nullptr, nullptr);
      HeapFree(GetProcessHeap(), 0, w);
      if (n > 0) return buf;
    }
  }
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

std::string ExeDirectory() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) FailLastError("GetModuleFileNameA");
  std::string path(buf, n);
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string LocateProgram(const char* env_var, const std::string& file_name) {
  // GetEnvironmentVariableA sees changes the process made itself, unlike getenv's copy.
  char buf[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableA(env_var, buf, sizeof buf);
  if (n > 0 && n < sizeof buf) return ToWindowsPath(buf);
  return ExeDirectory() + "\\" + file_name;
}

// ---- Processes -----------------------------------------------------------------------

Process Process::Start(const std::string& exe_path, const std::string& command_line,
                       const std::string& working_dir) {
  std::string exe = ToWindowsPath(exe_path);
  std::string dir = ToWindowsPath(working_dir);
  // lpCommandLine must be writable; it is passed exactly as given.
  std::vector<char> cmd(command_line.begin(), command_line.end());
  cmd.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
    FailLastError("starting '" + exe + "' with command line [" + command_line + "]");
  }
  CloseHandle(pi.hThread);
  Process p;
  p.handle_.Reset(pi.hProcess);
  p.id_ = pi.dwProcessId;
  return p;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    try {
      Kill();
    } catch (const DriverError&) {
    }
    handle_ = std::move(other.handle_);
    id_ = other.id_;
  }
  return *this;
}

Process::~Process() {
  try {
    Kill();
  } catch (const DriverError&) {
  }
}

bool Process::IsRunning() const {
  return handle_.Valid() && WaitForSingleObject(handle_.Get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeout_ms) {
  if (!handle_.Valid()) Fail("WaitForExit: no process");
  DWORD r = WaitForSingleObject(handle_.Get(), timeout_ms);
  if (r == WAIT_FAILED) FailLastError("waiting for process " + std::to_string(id_));
  return r == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  if (!handle_.Valid()) Fail("ExitCode: no process");
  if (IsRunning()) Fail("ExitCode: process " + std::to_string(id_) + " is still running");
  DWORD code = 0;
  if (!GetExitCodeProcess(handle_.Get(), &code)) FailLastError("GetExitCodeProcess");
  return code;
}

void Process::Kill(UINT exit_code) {
  if (!IsRunning()) return;
  if (!TerminateProcess(handle_.Get(), exit_code) && IsRunning()) {
    FailLastError("terminating process " + std::to_string(id_));
  }
  if (WaitForSingleObject(handle_.Get(), kDefaultTimeoutMs) != WAIT_OBJECT_0) {
    Fail("process " + std::to_string(id_) + " did not end after TerminateProcess");
  }
}

bool Process::WaitUntilIdle(DWORD timeout_ms) {
  if (!handle_.Valid()) Fail("WaitUntilIdle: no process");
  return WaitForInputIdle(handle_.Get(), timeout_ms) == 0;
}

// ---- Finding windows -----------------------------------------------------------------

WindowMatch CaptionIs(const std::string& caption) {
  return {"caption '" + caption + "'", [caption](HWND w) { return WindowCaption(w) == caption; }};
}

WindowMatch CaptionStartsWith(const std::string& prefix) {
  return {"caption starting '" + prefix + "'",
          [prefix](HWND w) { return WindowCaption(w).compare(0, prefix.size(), prefix) == 0; }};
}

WindowMatch ClassIs(const std::string& class_name) {
  return {"class " + class_name, [class_name](HWND w) { return IsClass(w, class_name.c_str()); }};
}

WindowMatch AllOf(const WindowMatch& a, const WindowMatch& b) {
  auto ta = a.test;
  auto tb = b.test;
  return {a.description + " and " + b.description, [ta, tb](HWND w) { return ta(w) && tb(w); }};
}

WindowMatch IsMessageBox() {
  return {"a message box", [](HWND w) {
            if (!IsClass(w, "#32770")) return false;
            bool has_text = false;
            for (HWND c : Children(w)) {
              bool is_static = IsClass(c, "Static");
              if (!is_static && !IsClass(c, "Button")) return false;
              if (is_static && (GetDlgCtrlID(c) & 0xFFFF) == kMessageBoxTextId) has_text = true;
            }
            return has_text;
          }};
}

WindowMatch IsFileDialog() {
  return {"a file dialog", [](HWND w) {
            return IsClass(w, "#32770") && (GetDlgItem(w, kFileNameCombo) != nullptr ||
                                            GetDlgItem(w, kFileNameEdit) != nullptr);
          }};
}

std::vector<HWND> TopWindows(DWORD pid) {
  std::vector<HWND> out;
  EnumState state{pid, &out};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&state));
  return out;
}

HWND FindTopWindow(DWORD pid, const WindowMatch& match) {
  for (HWND w : TopWindows(pid)) {
    if (match.test(w)) return w;
  }
  return nullptr;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(poll_ms);
  }
}

HWND WaitForWindow(DWORD pid, const WindowMatch& match, DWORD timeout_ms) {
  HWND found = nullptr;
  if (WaitUntil([&] { return (found = FindTopWindow(pid, match)) != nullptr; }, timeout_ms)) {
    return found;
  }
  Fail("no window with " + match.description + " of process " + std::to_string(pid) + " after " +
       std::to_string(timeout_ms) + " ms; it shows:\n" + DescribeProcessWindows(pid));
}

bool WaitForWindowGone(HWND window, DWORD timeout_ms) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
}

std::string DescribeWindow(HWND window) {
  std::string out;
  auto line = [&out](HWND w, const char* indent) {
    RECT r = {};
    GetWindowRect(w, &r);
    char buf[160];
    std::snprintf(buf, sizeof buf, " [%ld,%ld %ldx%ld]%s%s\n", static_cast<long>(r.left),
                  static_cast<long>(r.top), static_cast<long>(r.right - r.left),
                  static_cast<long>(r.bottom - r.top), IsWindowVisible(w) ? "" : " hidden",
                  IsWindowEnabled(w) ? "" : " disabled");
    out += indent + Name(w) + buf;
  };
  line(window, "");
  for (HWND c : Children(window)) line(c, "  ");
  return out;
}

std::string DescribeProcessWindows(DWORD pid) {
  std::string out;
  for (HWND w : TopWindows(pid)) out += DescribeWindow(w);
  return out.empty() ? "(no visible window)\n" : out;
}

// ---- Text and state ------------------------------------------------------------------

std::string WindowClass(HWND window) {
  char buf[256];
  int n = GetClassNameA(window, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

std::string WindowCaption(HWND window) {
  int len = GetWindowTextLengthA(window);
  std::vector<char> buf(static_cast<size_t>(len) + 2);
  int n = GetWindowTextA(window, buf.data(), static_cast<int>(buf.size()));
  return std::string(buf.data(), n > 0 ? n : 0);
}

std::string ReadText(HWND window) {
  RequireWindow(window, "ReadText");
  LRESULT len = SendTimed(window, WM_GETTEXTLENGTH, 0, 0, "WM_GETTEXTLENGTH");
  std::vector<WCHAR> buf(static_cast<size_t>(len) + 2);
  LRESULT n =
      SendTimed(window, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), "WM_GETTEXT");
  return Narrow(buf.data(), static_cast<int>(std::min<LRESULT>(n, len + 1)));
}

void WriteText(HWND window, const std::string& text) {
  RequireWindow(window, "WriteText");
  std::wstring wide = Widen(text);
  if (!SendTimed(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), "WM_SETTEXT")) {
    Fail("WM_SETTEXT refused by " + Name(window));
  }
}

HWND Control(HWND dialog, int id) {
  RequireWindow(dialog, "Control");
  HWND c = GetDlgItem(dialog, id);
  if (!c) Fail("no control " + std::to_string(id) + " in:\n" + DescribeWindow(dialog));
  return c;
}

HWND WaitForControl(HWND dialog, int id, DWORD timeout_ms) {
  HWND c = nullptr;
  if (WaitUntil([&] { return (c = GetDlgItem(dialog, id)) != nullptr; }, timeout_ms)) return c;
  return Control(dialog, id);  // raises, describing the dialog
}

std::string ControlText(HWND dialog, int id) { return ReadText(Control(dialog, id)); }

void SetEditText(HWND dialog, int id, const std::string& text) {
  WriteText(Control(dialog, id), text);
}

bool IsControlVisible(HWND window) { return IsWindowVisible(window) != FALSE; }

bool IsControlEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

HWND FocusedWindow(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!thread || !GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

// ---- Buttons -------------------------------------------------------------------------

void ClickButton(HWND button) {
  RequireWindow(button, "ClickButton");
  if (!IsWindowVisible(button)) Fail("clicking a hidden button: " + Name(button));
  if (!IsWindowEnabled(button)) Fail("clicking a disabled button: " + Name(button));
  PostOrFail(button, BM_CLICK, 0, 0, "BM_CLICK");
}

void ClickButton(HWND dialog, int id) { ClickButton(Control(dialog, id)); }

void ClickUntil(HWND button, const std::function<bool()>& effect, DWORD timeout_ms) {
  std::string name = Name(button);
  ClickButton(button);
  if (!WaitUntil(effect, timeout_ms)) {
    Fail("clicking " + name + " showed no effect after " + std::to_string(timeout_ms) + " ms");
  }
}

HWND ClickForWindow(HWND button, DWORD pid, const WindowMatch& match, DWORD timeout_ms) {
  ClickButton(button);
  return WaitForWindow(pid, match, timeout_ms);
}

// ---- Message boxes -------------------------------------------------------------------

const char* BoxIconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::none:
      return "none";
    case BoxIcon::exclamation:
      return "exclamation";
    case BoxIcon::hand:
      return "hand";
    case BoxIcon::question:
      return "question";
    case BoxIcon::asterisk:
      return "asterisk";
    case BoxIcon::unknown:
      break;
  }
  return "unknown";
}

HWND WaitForMessageBox(DWORD pid, DWORD timeout_ms) {
  return WaitForWindow(pid, IsMessageBox(), timeout_ms);
}

std::string MessageBoxText(HWND box) {
  RequireWindow(box, "MessageBoxText");
  for (HWND c : Children(box)) {
    if (IsClass(c, "Static") && (GetDlgCtrlID(c) & 0xFFFF) == kMessageBoxTextId) {
      return ReadText(c);
    }
  }
  Fail("no message text (static 0xFFFF) in:\n" + DescribeWindow(box));
}

std::vector<BoxButton> MessageBoxButtons(HWND box) {
  RequireWindow(box, "MessageBoxButtons");
  std::vector<std::pair<LONG, BoxButton>> found;
  for (HWND c : Children(box)) {
    if (!IsClass(c, "Button") || !IsWindowVisible(c)) continue;
    found.push_back({ScreenRect(c).left, BoxButton{GetDlgCtrlID(c), ReadText(c)}});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<BoxButton> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

BoxIcon MessageBoxIcon(HWND box, DWORD timeout_ms) {
  RequireWindow(box, "MessageBoxIcon");
  HWND control = MessageBoxIconControl(box);
  if (!control || !IsWindowVisible(control)) return BoxIcon::none;
  if (SendTimed(control, STM_GETICON, 0, 0, "STM_GETICON") == 0) return BoxIcon::none;

  static const struct {
    BoxIcon kind;
    LPCSTR id;
  } kCandidates[] = {{BoxIcon::exclamation, IDI_EXCLAMATION},
                     {BoxIcon::hand, IDI_HAND},
                     {BoxIcon::question, IDI_QUESTION},
                     {BoxIcon::asterisk, IDI_ASTERISK}};
  BoxIcon result = BoxIcon::unknown;
  WaitUntil(
      [&] {
        // One pixel of margin gives the background the icon was drawn on.
        RECT r = ScreenRect(control);
        InflateRect(&r, 1, 1);
        Bitmap shown = CaptureScreenRect(r);
        int w = shown.width - 2;
        int h = shown.height - 2;
        if (w <= 0 || h <= 0) return false;
        COLORREF back = shown.At(0, 0);
        double best = 1.0;
        BoxIcon kind = BoxIcon::unknown;
        for (const auto& c : kCandidates) {
          Canvas canvas(w, h);
          HBRUSH brush = CreateSolidBrush(back);
          RECT all = {0, 0, w, h};
          FillRect(canvas.Dc(), &all, brush);
          DeleteObject(brush);
          DrawIconEx(canvas.Dc(), 0, 0, LoadIconA(nullptr, c.id), w, h, 0, nullptr, DI_NORMAL);
          Bitmap drawn = canvas.Pixels();
          int differ = 0;
          for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
              if (!SameColour(drawn.pixels[y * w + x], shown.pixels[(y + 1) * shown.width + x + 1],
                              24)) {
                ++differ;
              }
            }
          }
          double share = static_cast<double>(differ) / (w * h);
          if (share < best) {
            best = share;
            kind = c.kind;
          }
        }
        // The shown icon matches its own drawing exactly; the nearest other system icon
        // (question against asterisk) still differs in 7% of its pixels.
        if (best < 0.02) result = kind;
        return result != BoxIcon::unknown;
      },
      timeout_ms, 50);
  return result;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.window = box;
  info.caption = WindowCaption(box);
  info.text = MessageBoxText(box);
  info.buttons = MessageBoxButtons(box);
  info.icon = MessageBoxIcon(box);
  return info;
}

void AnswerMessageBox(HWND box, int button_id, DWORD timeout_ms) {
  HWND button = GetDlgItem(box, button_id);
  if (!button) {
    Fail("no button " + std::to_string(button_id) + " in message box:\n" + DescribeWindow(box));
  }
  ClickButton(button);
  if (!WaitForWindowGone(box, timeout_ms)) {
    Fail("message box " + Name(box) + " still there after clicking button " +
         std::to_string(button_id));
  }
}

// ---- File dialogs --------------------------------------------------------------------

void ChooseFile(HWND file_dialog, const std::string& path, DWORD timeout_ms) {
  RequireWindow(file_dialog, "ChooseFile");
  HWND box = GetDlgItem(file_dialog, kFileNameCombo);
  if (!box) box = Control(file_dialog, kFileNameEdit);
  WriteText(box, path);
  // Wine's explorer-style dialog also has a toolbar with id 1: find the button itself.
  HWND open = nullptr;
  for (HWND c : Children(file_dialog)) {
    if (GetDlgCtrlID(c) == IDOK && IsClass(c, "Button")) open = c;
  }
  if (!open) Fail("no Open button in file dialog:\n" + DescribeWindow(file_dialog));
  ClickButton(open);
  if (!WaitForWindowGone(file_dialog, timeout_ms)) {
    Fail("file dialog still open after choosing '" + path + "':\n" + DescribeWindow(file_dialog));
  }
}

// ---- List boxes ----------------------------------------------------------------------

int ListBoxCount(HWND list) {
  RequireWindow(list, "ListBoxCount");
  LRESULT n = SendTimed(list, LB_GETCOUNT, 0, 0, "LB_GETCOUNT");
  if (n == LB_ERR) Fail("LB_GETCOUNT failed on " + Name(list));
  return static_cast<int>(n);
}

std::vector<std::string> ListBoxLines(HWND list) {
  LONG style = Style(list);
  if ((style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) && !(style & LBS_HASSTRINGS)) {
    Fail("owner-drawn list without strings, read its item data instead: " + Name(list));
  }
  std::vector<std::string> lines;
  int n = ListBoxCount(list);
  for (int i = 0; i < n; ++i) {
    LRESULT len = SendTimed(list, LB_GETTEXTLEN, i, 0, "LB_GETTEXTLEN");
    if (len == LB_ERR) Fail("LB_GETTEXTLEN failed for line " + std::to_string(i));
    std::vector<WCHAR> buf(static_cast<size_t>(len) + 2);
    LRESULT got =
        SendTimed(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf.data()), "LB_GETTEXT");
    if (got == LB_ERR) Fail("LB_GETTEXT failed for line " + std::to_string(i));
    lines.push_back(Narrow(buf.data(), static_cast<int>(std::min<LRESULT>(got, len + 1))));
  }
  return lines;
}

std::vector<ULONG_PTR> ListBoxItemData(HWND list) {
  std::vector<ULONG_PTR> data;
  int n = ListBoxCount(list);
  for (int i = 0; i < n; ++i) {
    data.push_back(static_cast<ULONG_PTR>(SendTimed(list, LB_GETITEMDATA, i, 0, "LB_GETITEMDATA")));
  }
  return data;
}

RECT ListBoxItemRect(HWND list, int index) {
  RECT r = {};
  if (SendTimed(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r), "LB_GETITEMRECT") ==
      LB_ERR) {
    Fail("LB_GETITEMRECT failed for item " + std::to_string(index) + " of " + Name(list));
  }
  return r;
}

int ListBoxSelection(HWND list) {
  return static_cast<int>(SendTimed(list, LB_GETCURSEL, 0, 0, "LB_GETCURSEL"));
}

std::vector<int> ListBoxSelections(HWND list) {
  LRESULT n = SendTimed(list, LB_GETSELCOUNT, 0, 0, "LB_GETSELCOUNT");
  if (n == LB_ERR) Fail("LB_GETSELCOUNT on a single-selection list " + Name(list));
  std::vector<int> items(static_cast<size_t>(n) + 1);
  LRESULT got =
      SendTimed(list, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(items.data()), "LB_GETSELITEMS");
  items.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return items;
}

int ListBoxTopIndex(HWND list) {
  return static_cast<int>(SendTimed(list, LB_GETTOPINDEX, 0, 0, "LB_GETTOPINDEX"));
}

// ---- Mouse and keyboard --------------------------------------------------------------

void PostClick(HWND window, POINT client) {
  RequireWindow(window, "PostClick");
  LPARAM at = MAKELPARAM(client.x, client.y);
  PostOrFail(window, WM_MOUSEMOVE, 0, at, "WM_MOUSEMOVE");
  PostOrFail(window, WM_LBUTTONDOWN, MK_LBUTTON, at, "WM_LBUTTONDOWN");
  PostOrFail(window, WM_LBUTTONUP, 0, at, "WM_LBUTTONUP");
}

void PostDoubleClick(HWND window, POINT client) {
  PostClick(window, client);
  LPARAM at = MAKELPARAM(client.x, client.y);
  PostOrFail(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at, "WM_LBUTTONDBLCLK");
  PostOrFail(window, WM_LBUTTONUP, 0, at, "WM_LBUTTONUP");
}

void InputClick(HWND window, POINT client) {
  RequireWindow(window, "InputClick");
  BringToFront(GetAncestor(window, GA_ROOT));
  POINT at = ToScreen(window, client);
  if (!SetCursorPos(at.x, at.y)) FailLastError("SetCursorPos");
  std::vector<INPUT> inputs(2);
  for (auto& in : inputs) in.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInputs(inputs, "a mouse click");
}

void PostKey(HWND window, UINT vk) {
  RequireWindow(window, "PostKey");
  PostOrFail(window, WM_KEYDOWN, vk, KeyLparam(vk, false), "WM_KEYDOWN");
  PostOrFail(window, WM_KEYUP, vk, KeyLparam(vk, true), "WM_KEYUP");
}

void PostChars(HWND window, const std::string& text) {
  RequireWindow(window, "PostChars");
  for (unsigned char c : text) PostOrFail(window, WM_CHAR, c, 1, "WM_CHAR");
}

bool BringToFront(HWND top, DWORD timeout_ms) {
  RequireWindow(top, "BringToFront");
  return WaitUntil(
      [&] {
        if (GetForegroundWindow() == top) return true;
        SetForegroundWindow(top);
        return GetForegroundWindow() == top;
      },
      timeout_ms, 50);
}

void InputKey(UINT vk) {
  std::vector<INPUT> inputs = {KeyInput(static_cast<WORD>(vk), false),
                               KeyInput(static_cast<WORD>(vk), true)};
  SendInputs(inputs, "a key");
}

void InputText(const std::string& text) {
  for (char ch : text) {
    SHORT scan = VkKeyScanA(ch);
    if (scan == -1) Fail(std::string("no key types '") + ch + "'");
    WORD vk = LOBYTE(scan);
    bool shift = (HIBYTE(scan) & 1) != 0;
    std::vector<INPUT> inputs;
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
    SendInputs(inputs, "typed text");
  }
}

// ---- Pixels and screenshots ----------------------------------------------------------

COLORREF Bitmap::At(int x, int y) const {
  uint32_t p = pixels.at(static_cast<size_t>(y) * width + x);
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

Bitmap CaptureScreenRect(const RECT& r) {
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) Fail("capturing an empty rectangle");
  Canvas canvas(w, h);
  ScopedWindowDc screen{nullptr, GetDC(nullptr)};
  if (!screen.h) FailLastError("GetDC of the screen");
  if (!BitBlt(canvas.Dc(), 0, 0, w, h, screen.h, r.left, r.top, SRCCOPY | CAPTUREBLT)) {
    FailLastError("BitBlt from the screen");
  }
  return canvas.Pixels();
}

Bitmap CaptureWindow(HWND window, bool client_only) {
  RequireWindow(window, "CaptureWindow");
  RECT r;
  if (client_only) {
    if (!GetClientRect(window, &r)) FailLastError("GetClientRect");
    POINT tl = ToScreen(window, {r.left, r.top});
    OffsetRect(&r, tl.x - r.left, tl.y - r.top);
  } else {
    r = ScreenRect(window);
  }
  return CaptureScreenRect(r);
}

COLORREF PixelAt(HWND window, POINT client) {
  RequireWindow(window, "PixelAt");
  POINT at = ToScreen(window, client);
  return CaptureScreenRect({at.x, at.y, at.x + 1, at.y + 1}).At(0, 0);
}

void SaveBitmap(const Bitmap& bitmap, const std::string& path) {
  const int row = (bitmap.width * 3 + 3) & ~3;
  const DWORD image_size = static_cast<DWORD>(row) * bitmap.height;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + image_size;
  ih.biSize = sizeof ih;
  ih.biWidth = bitmap.width;
  ih.biHeight = bitmap.height;  // bottom-up
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biCompression = BI_RGB;
  ih.biSizeImage = image_size;

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Fail("cannot create '" + path + "'");
  std::vector<unsigned char> line(static_cast<size_t>(row), 0);
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&ih, sizeof ih, 1, f) == 1;
  for (int y = bitmap.height - 1; ok && y >= 0; --y) {
    for (int x = 0; x < bitmap.width; ++x) {
      uint32_t p = bitmap.pixels[static_cast<size_t>(y) * bitmap.width + x];
      line[x * 3] = p & 0xFF;
      line[x * 3 + 1] = (p >> 8) & 0xFF;
      line[x * 3 + 2] = (p >> 16) & 0xFF;
    }
    ok = std::fwrite(line.data(), line.size(), 1, f) == 1;
  }
  if (std::fclose(f) != 0) ok = false;
  if (!ok) Fail("cannot write '" + path + "'");
}

void SaveScreenshot(HWND window, const std::string& path) {
  SaveBitmap(CaptureWindow(window), path);
}

// ---- Registry ------------------------------------------------------------------------

namespace {

// Reads a value's raw bytes; nullopt when the key or the value is missing.
std::optional<std::vector<BYTE>> QueryValue(HKEY root, const std::string& subkey,
                                            const std::string& value, DWORD* type) {
  ScopedKey key;
  LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.Out());
  if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (rc != ERROR_SUCCESS) Fail("opening registry key '" + subkey + "': " + ErrorText(rc));
  DWORD size = 0;
  rc = RegQueryValueExA(key.Get(), value.c_str(), nullptr, type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (rc != ERROR_SUCCESS) Fail("reading registry value '" + value + "': " + ErrorText(rc));
  std::vector<BYTE> data(size + 2, 0);
  rc = RegQueryValueExA(key.Get(), value.c_str(), nullptr, type, data.data(), &size);
  if (rc != ERROR_SUCCESS) Fail("reading registry value '" + value + "': " + ErrorText(rc));
  data.resize(size);
  return data;
}

void OpenForWriting(HKEY root, const std::string& subkey, ScopedKey* key) {
  LONG rc = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, key->Out(), nullptr);
  if (rc != ERROR_SUCCESS) Fail("creating registry key '" + subkey + "': " + ErrorText(rc));
}

}  // namespace

std::optional<std::string> RegistryString(HKEY root, const std::string& subkey,
                                          const std::string& value) {
  DWORD type = 0;
  auto data = QueryValue(root, subkey, value, &type);
  if (!data) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    Fail("registry value '" + subkey + "\\" + value + "' is not a string");
  }
  std::string s(data->begin(), data->end());
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::optional<DWORD> RegistryDword(HKEY root, const std::string& subkey, const std::string& value) {
  DWORD type = 0;
  auto data = QueryValue(root, subkey, value, &type);
  if (!data) return std::nullopt;
  if (type != REG_DWORD || data->size() != sizeof(DWORD)) {
    Fail("registry value '" + subkey + "\\" + value + "' is not a DWORD");
  }
  DWORD v = 0;
  std::memcpy(&v, data->data(), sizeof v);
  return v;
}

bool RegistryKeyExists(HKEY root, const std::string& subkey) {
  ScopedKey key;
  return RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

void WriteRegistryString(HKEY root, const std::string& subkey, const std::string& value,
                         const std::string& data) {
  ScopedKey key;
  OpenForWriting(root, subkey, &key);
  LONG rc = RegSetValueExA(key.Get(), value.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1));
  if (rc != ERROR_SUCCESS) Fail("writing registry value '" + value + "': " + ErrorText(rc));
}

void WriteRegistryDword(HKEY root, const std::string& subkey, const std::string& value,
                        DWORD data) {
  ScopedKey key;
  OpenForWriting(root, subkey, &key);
  LONG rc = RegSetValueExA(key.Get(), value.c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&data), sizeof data);
  if (rc != ERROR_SUCCESS) Fail("writing registry value '" + value + "': " + ErrorText(rc));
}

void RemoveRegistryKey(HKEY root, const std::string& subkey) {
  {
    ScopedKey key;
    LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.Out());
    if (rc == ERROR_FILE_NOT_FOUND) return;
    if (rc != ERROR_SUCCESS) Fail("opening registry key '" + subkey + "': " + ErrorText(rc));
    // Children first: RegDeleteKeyA removes only keys without subkeys.
    for (;;) {
      char name[256];
      DWORD len = sizeof name;
      rc = RegEnumKeyExA(key.Get(), 0, name, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) Fail("listing registry key '" + subkey + "': " + ErrorText(rc));
      RemoveRegistryKey(root, subkey + "\\" + name);
    }
  }
  LONG rc = RegDeleteKeyA(root, subkey.c_str());
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    Fail("deleting registry key '" + subkey + "': " + ErrorText(rc));
  }
}

}  // namespace gui
