// Opening an update file: the main window's initialisation reads the header with a
// short-lived reader, refuses what is not a supported update file, and fills the window.
#include <windows.h>
#include <shellapi.h>

#include "app/app_message_box.h"
#include "app/app_state.h"
#include "app/install_path.h"
#include "ui/update_dialog.h"

namespace {

const char kHomePage[] = "http://www.velloran.com/";
const char kUtilitiesPage[] = "http://www.velloran.com/utilities/";

void Refuse(UpdateDialog& dialog, const char* message, const char* question, const char* page) {
  AppMessageBox(message, MB_OK | MB_ICONSTOP);
  if (question && AppMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES) {
    ::ShellExecuteA(dialog.hwnd(), nullptr, page, nullptr, nullptr, SW_SHOWNORMAL);
  }
  // Ending the dialog during its initialisation destroys it before it is ever shown.
  ::EndDialog(dialog.hwnd(), IDCANCEL);
}

}  // namespace

void OpenUpdateFile(UpdateDialog& dialog, AppState& app) {
  ArchiveReader reader(*app.updateFile, UpdateClassRegistry(), ArchiveReader::kBufferSize);
  uint16_t fileType = reader.ReadWord();
  uint16_t formatVersion = reader.ReadWord();
  reader.ReadWord();
  std::string signature = reader.ReadArchiveString();
  if (signature != "VLR.UPD" || fileType != 1) {
    Refuse(dialog, "Selected file is not an Update File", nullptr, nullptr);
    return;
  }
  if (formatVersion < 5) {
    Refuse(dialog,
           "Update file version not supported.\nYou may need a new update file from Velloran, "
           "Inc.",
           "Do you want to browse the WEB to Velloran Home Page", kHomePage);
    return;
  }
  if (formatVersion > 6) {
    Refuse(dialog,
           "Update file version not supported.\nYou may need a new version of this application",
           "Do you want to browse the WEB to get a new version of\nVelloran Update Application "
           "(VARERI or RERUDE32)",
           kUtilitiesPage);
    return;
  }
  dialog.descriptionText = reader.ReadArchiveString();
  app.productName = reader.ReadArchiveString();
  app.failureMessage = reader.ReadArchiveString();
  std::string defaultDirectory = reader.ReadArchiveString();
  std::string registryPath[3];
  if (formatVersion == 6) {
    for (std::string& part : registryPath) part = reader.ReadArchiveString();
  }
  reader.ReadWord();
  char installPath[260] = {};
  if (formatVersion == 6 &&
      ReadInstallPath(registryPath[0], registryPath[1], registryPath[2], installPath)) {
    dialog.pathText = installPath;
  } else {
    dialog.pathText = ApplyDriveRule(defaultDirectory);
  }
  ::SetWindowTextA(dialog.hwnd(), (app.productName + " Update").c_str());
  dialog.DoDataExchange(false);
  reader.Close();
  RECT client;
  ::GetClientRect(dialog.logList_, &client);
  ::SendMessageA(dialog.logList_, LB_SETHORIZONTALEXTENT, (client.right - client.left) * 2, 0);
}
