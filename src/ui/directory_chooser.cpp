#include "ui/directory_chooser.h"

#include <commdlg.h>

#include "resources/resource.h"

bool DirectoryChooser::Choose(HWND owner, std::string* directory) {
  char file[MAX_PATH] = "*.*";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.hInstance = ::GetModuleHandleA(nullptr);
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_CHOOSER);
  // The template's caption; said again because some dialog hosts put their own title over
  // a template's when none is given.
  ofn.lpstrTitle = "Open";
  // Old style (no OFN_EXPLORER), and no OFN_NOCHANGEDIR: the current directory follows
  // the user, which is how the chosen directory is known.
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLETEMPLATE | OFN_NOVALIDATE | OFN_PATHMUSTEXIST;
  if (!::GetOpenFileNameA(&ofn)) return false;
  char current[MAX_PATH];
  DWORD n = ::GetCurrentDirectoryA(sizeof current, current);
  if (n == 0 || n >= sizeof current) return false;
  *directory = std::string(current, n);
  return true;
}
