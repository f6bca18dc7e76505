// Drives a real Win32 dialog program from a test process (under Wine and Xvfb, or on
// Windows): starts it, finds its windows and controls by caption, class and id, reads and
// sets their text, clicks, types, reads message boxes, pixels and the registry.
// Every cross-process message is sent with a timeout and every wait is bounded, so a hung
// program makes a test fail with DriverError instead of hanging it. The driver owns only
// the handles it opens (Process, registry keys, GDI objects); window handles are borrowed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace gui {

// How long a wait lasts when the caller names no time.
constexpr DWORD kDefaultTimeoutMs = 10000;
// How long one message to another process's window may take before it counts as hung.
constexpr DWORD kMessageTimeoutMs = 5000;

// Raised for everything the driver cannot do: a call that failed, a window or control that
// is not there, a wait that ran out. The message says what was being done.
class DriverError : public std::runtime_error {
 public:
  explicit DriverError(const std::string& what) : std::runtime_error(what) {}
};

// ---- Handles and paths ---------------------------------------------------------------

// Closes a kernel handle (process, thread, event) when it goes out of scope.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ScopedHandle(ScopedHandle&& other) noexcept : h_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept;
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  HANDLE Get() const { return h_; }
  bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE Release();
  void Reset(HANDLE h = nullptr);

 private:
  HANDLE h_ = nullptr;
};

// Turns a Unix path ("/work/x.exe", as CMake and ctest pass them) into the Windows path
// Wine maps it to ("Z:\work\x.exe"); any other path is returned as it is.
std::string ToWindowsPath(const std::string& path);

// The directory of the running executable, without a trailing backslash.
std::string ExeDirectory();

// Where the program to drive is: the path in environment variable `env_var` (as ctest
// sets it, e.g. to $<TARGET_FILE:...>), mapped by ToWindowsPath; when unset, `file_name`
// beside the running executable.
std::string LocateProgram(const char* env_var, const std::string& file_name);

// ---- Processes -----------------------------------------------------------------------

class Process {
 public:
  // Starts `exe_path` (a Windows or Unix path) with `command_line` passed verbatim as
  // CreateProcessA's lpCommandLine: the caller writes argv[0] and every quote itself.
  // `working_dir` empty inherits the driver's. Raises DriverError when CreateProcessA fails.
  static Process Start(const std::string& exe_path, const std::string& command_line,
                       const std::string& working_dir = {});

  Process() = default;
  Process(Process&&) noexcept = default;
  Process& operator=(Process&& other) noexcept;
  // Kills a process still running, so a failed test leaves no window behind.
  ~Process();

  DWORD Id() const { return id_; }
  HANDLE Handle() const { return handle_.Get(); }
  bool IsRunning() const;
  // Returns true once the process has exited, false when `timeout_ms` ran out first.
  bool WaitForExit(DWORD timeout_ms = kDefaultTimeoutMs);
  // REQUIRES: the process has exited (raises DriverError otherwise).
  DWORD ExitCode() const;
  // Terminates the process with `exit_code` and waits until it is gone. No-op once exited.
  void Kill(UINT exit_code = 1);

 private:
  ScopedHandle handle_;
  DWORD id_ = 0;
};

// ---- Finding windows -----------------------------------------------------------------

// A test on a window, with words for error messages ("caption 'Open'").
struct WindowMatch {
  std::string description;
  std::function<bool(HWND)> test;
};
WindowMatch CaptionIs(const std::string& caption);
WindowMatch CaptionStartsWith(const std::string& prefix);
WindowMatch ClassIs(const std::string& class_name);  // "#32770" for dialogs
WindowMatch AllOf(const WindowMatch& a, const WindowMatch& b);
// A message box: a "#32770" window holding only statics and buttons, one static with
// id 0xFFFF (its text, on Windows and Wine alike).
WindowMatch IsMessageBox();

// The visible top-level windows of process `pid`, topmost first.
std::vector<HWND> TopWindows(DWORD pid);
// The topmost visible top-level window of `pid` that matches, or nullptr.
HWND FindTopWindow(DWORD pid, const WindowMatch& match);
// Polls until a matching window of `pid` is visible and returns it. Raises DriverError
// (listing the windows the process has) when `timeout_ms` runs out.
HWND WaitForWindow(DWORD pid, const WindowMatch& match, DWORD timeout_ms = kDefaultTimeoutMs);
// Returns true once `window` is destroyed or hidden, false when `timeout_ms` ran out.
bool WaitForWindowGone(HWND window, DWORD timeout_ms = kDefaultTimeoutMs);
// Polls `condition` every `poll_ms` until it holds (true) or `timeout_ms` ran out (false).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = kDefaultTimeoutMs,
               DWORD poll_ms = 20);

// One line per window: class, caption, id and rectangle of `window` and its children.
std::string DescribeWindow(HWND window);
// DescribeWindow for every visible top-level window of `pid`.
std::string DescribeProcessWindows(DWORD pid);

// ---- Text and state ------------------------------------------------------------------

std::string WindowClass(HWND window);
// The caption as the window manager keeps it (GetWindowTextA): sends no message, so it
// works on a hung window too.
std::string WindowCaption(HWND window);
// The text the window answers to WM_GETTEXT (edit contents, static and button text).
std::string ReadText(HWND window);
// Changes the text with WM_SETTEXT (an edit box sends EN_CHANGE to its dialog).
void WriteText(HWND window, const std::string& text);

// The child of `dialog` with control id `id`. Raises DriverError when there is none.
HWND Control(HWND dialog, int id);
// Polls until `dialog` has a control `id` and returns it; raises DriverError on timeout.
HWND WaitForControl(HWND dialog, int id, DWORD timeout_ms = kDefaultTimeoutMs);
std::string ControlText(HWND dialog, int id);
void SetEditText(HWND dialog, int id, const std::string& text);

bool IsControlVisible(HWND window);  // the window and all its parents are visible
bool IsControlEnabled(HWND window);
// The window with the keyboard focus in the thread that owns `window`, or nullptr.
HWND FocusedWindow(HWND window);

// ---- Buttons -------------------------------------------------------------------------

// Posts BM_CLICK, so a modal box the click opens does not block the driver. Raises
// DriverError when the button is hidden or disabled (a user could not click it).
void ClickButton(HWND button);
void ClickButton(HWND dialog, int id);
// Clicks, then polls until `effect` holds. Raises DriverError when it never does.
void ClickUntil(HWND button, const std::function<bool()>& effect,
                DWORD timeout_ms = kDefaultTimeoutMs);
// Clicks and returns the window of `pid` the click brought up (a message box, a dialog).
HWND ClickForWindow(HWND button, DWORD pid, const WindowMatch& match,
                    DWORD timeout_ms = kDefaultTimeoutMs);

// ---- Message boxes -------------------------------------------------------------------

enum class BoxIcon { none, exclamation, hand, question, asterisk, unknown };
const char* BoxIconName(BoxIcon icon);

struct BoxButton {
  int id;            // IDOK, IDCANCEL, IDYES ...
  std::string text;  // as shown, with its '&'
};
inline bool operator==(const BoxButton& a, const BoxButton& b) {
  return a.id == b.id && a.text == b.text;
}

struct MessageBoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  std::vector<BoxButton> buttons;  // left to right
  BoxIcon icon = BoxIcon::unknown;
};

HWND WaitForMessageBox(DWORD pid, DWORD timeout_ms = kDefaultTimeoutMs);
// The text of a message box: its static 0xFFFF.
std::string MessageBoxText(HWND box);
std::vector<BoxButton> MessageBoxButtons(HWND box);
// Which system icon the box shows. The icon handle of another process cannot be compared
// or read (Wine hands each process its own handle), so this compares the icon control's
// pixels on screen with each system icon drawn here; it polls until the box has been
// painted. none: the box has no icon; unknown: no system icon matched in time.
BoxIcon MessageBoxIcon(HWND box, DWORD timeout_ms = 3000);
MessageBoxInfo ReadMessageBox(HWND box);
// Clicks the button `button_id` of the box and waits until the box is gone.
void AnswerMessageBox(HWND box, int button_id, DWORD timeout_ms = kDefaultTimeoutMs);

// ---- File dialogs --------------------------------------------------------------------

// An open/save file dialog: a "#32770" with a file name box (combo 0x47C or edit 0x480).
WindowMatch IsFileDialog();
// Types `path` into the file name box, presses Open and waits until the dialog is gone.
void ChooseFile(HWND file_dialog, const std::string& path, DWORD timeout_ms = kDefaultTimeoutMs);

// ---- List boxes ----------------------------------------------------------------------

int ListBoxCount(HWND list);
// Every line's text (LB_GETTEXT, which Windows and Wine copy across processes). Raises
// DriverError for an owner-drawn list without LBS_HASSTRINGS: it has only item data.
std::vector<std::string> ListBoxLines(HWND list);
std::vector<ULONG_PTR> ListBoxItemData(HWND list);
// The item's rectangle in the list's client coordinates.
RECT ListBoxItemRect(HWND list, int index);
// The selected item of a single-selection list, or -1.
int ListBoxSelection(HWND list);
// The selected items of a multiple-selection list.
std::vector<int> ListBoxSelections(HWND list);
int ListBoxTopIndex(HWND list);

// ---- Mouse and keyboard --------------------------------------------------------------

// Posts WM_MOUSEMOVE, WM_LBUTTONDOWN and WM_LBUTTONUP at `client` to `window`: needs no
// focus and no free screen, but the program sees no real mouse state (GetCursorPos).
void PostClick(HWND window, POINT client);
void PostDoubleClick(HWND window, POINT client);
// A real click: brings the window's top-level window to the front, moves the cursor to
// `client` and sends button input (SendInput), as a user's click arrives.
void InputClick(HWND window, POINT client);
// Posts WM_KEYDOWN/WM_KEYUP of virtual key `vk` (VK_RETURN, VK_DOWN ...) to `window`.
void PostKey(HWND window, UINT vk);
// Posts one WM_CHAR per character to `window` (an edit box inserts them at its caret).
void PostChars(HWND window, const std::string& text);
// Makes `top` (a top-level window) the foreground window and waits until it is.
bool BringToFront(HWND top, DWORD timeout_ms = 2000);
// Real keystrokes (SendInput) to the foreground window's focused control.
void InputKey(UINT vk);
void InputText(const std::string& text);

// ---- Pixels and screenshots ----------------------------------------------------------

// 32-bit pixels 0x00RRGGBB, top row first.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  COLORREF At(int x, int y) const;  // as RGB(r, g, b)
};

// What the screen shows of `window` (its whole rectangle, or only its client area),
// copied from the screen: the window must not be covered.
Bitmap CaptureWindow(HWND window, bool client_only = false);
Bitmap CaptureScreenRect(const RECT& screen_rect);
// The colour on screen at `client` of `window`.
COLORREF PixelAt(HWND window, POINT client);
// Writes a 24-bit BMP. Raises DriverError when the file cannot be written.
void SaveBitmap(const Bitmap& bitmap, const std::string& path);
void SaveScreenshot(HWND window, const std::string& path);

// ---- Registry ------------------------------------------------------------------------

// Values under `root` (HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
// `value` empty is the key's default value. nullopt when the key or value is missing;
// DriverError when the value has another type.
std::optional<std::string> RegistryString(HKEY root, const std::string& subkey,
                                          const std::string& value);
std::optional<DWORD> RegistryDword(HKEY root, const std::string& subkey, const std::string& value);
bool RegistryKeyExists(HKEY root, const std::string& subkey);
// Create the key when missing and set the value.
void WriteRegistryString(HKEY root, const std::string& subkey, const std::string& value,
                         const std::string& data);
void WriteRegistryDword(HKEY root, const std::string& subkey, const std::string& value, DWORD data);
// Removes the key with everything under it; nothing happens when it is missing.
void RemoveRegistryKey(HKEY root, const std::string& subkey);

}  // namespace gui
