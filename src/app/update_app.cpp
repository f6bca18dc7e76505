// UpdateApp: the program's entry. One run is one modal main window over one update file.
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "app/app_message_box.h"
#include "app/command_line.h"
#include "app/registration.h"
#include "platform/system_directories.h"
#include "session/app_state.h"
#include "ui/dialog.h"
#include "ui/update_dialog.h"

namespace {

// Start-up in its fixed order; returns when the program is to end.
void RunUpdateApp(HINSTANCE instance, AppState& app) {
  app.instanceHandle = instance;
  SetDialogHost(DialogHost{&AppMessageBox, &ReportError});
  SetDialogColors(::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_WINDOWTEXT));
  RegisterFileType();
  UpdateDialog dialog(app);
  SystemDirectories directories = ReadSystemDirectories();
  std::snprintf(app.windowsDir, sizeof app.windowsDir, "%s", directories.windows.c_str());
  std::snprintf(app.systemDir, sizeof app.systemDir, "%s", directories.system.c_str());

  std::string path = PathFromCommandLine(::GetCommandLineA());
  if (path.empty()) {
    char chosen[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "Update Files\0*.upd\0All files\0*.*\0\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = chosen;
    ofn.nMaxFile = sizeof chosen;
    ofn.lpstrTitle = "Select an Update File";
    ofn.lpstrDefExt = "upd";
    // 4100: the file must exist, and the read-only box is hidden.
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!::GetOpenFileNameA(&ofn)) {
      AppMessageBox("Usage: VARERI <filename>\n where <filename> must be an update file (upd)",
                    MB_OK | MB_ICONSTOP);
      return;
    }
    path = chosen;
  }
  // The path buffer holds 259 characters; a longer path is refused, never cut.
  if (path.size() >= sizeof app.updateFilePath) {
    AppMessageBox("Cannot open specified upd file", MB_OK);
    return;
  }
  std::memcpy(app.updateFilePath, path.c_str(), path.size() + 1);
  app.updateFile = TryOpenForReading(app.updateFilePath);
  if (!app.updateFile) {
    AppMessageBox("Cannot open specified upd file", MB_OK);
    return;
  }
  dialog.DoModal(nullptr);
  app.updateFile.reset();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Critical errors (a drive not ready) go to the failing call, not to a system box.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  static AppState app;
  try {
    RunUpdateApp(instance, app);
  } catch (const std::exception& e) {
    ReportError(&e, false);
  } catch (...) {
    ReportError(nullptr, false);
  }
  return 0;
}
