// Opening an update file: the main window's initialisation reads the header with a
// short-lived reader, refuses what is not a supported update file, and fills the window.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "app/app_message_box.h"
#include "app/app_state.h"
#include "app/update_header.h"
#include "ui/update_dialog.h"

namespace {

const char kHomePage[] = "http://www.velloran.com/";
const char kUtilitiesPage[] = "http://www.velloran.com/utilities/";

// Shows the refusal, offers the page for an unsupported format, and ends the window.
void Refuse(UpdateDialog& dialog, HeaderRefusal refusal) {
  AppMessageBox(RefusalMessage(refusal), MB_OK | MB_ICONSTOP);
  const char* question = nullptr;
  const char* page = nullptr;
  if (refusal == HeaderRefusal::formatTooOld) {
    question = "Do you want to browse the WEB to Velloran Home Page";
    page = kHomePage;
  } else if (refusal == HeaderRefusal::formatTooNew) {
    question =
        "Do you want to browse the WEB to get a new version of\nVelloran Update "
        "Application (VARERI or RERUDE32)";
    page = kUtilitiesPage;
  }
  if (question && AppMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES) {
    ::ShellExecuteA(dialog.hwnd(), nullptr, page, nullptr, nullptr, SW_SHOWNORMAL);
  }
  // Ending the dialog during its initialisation destroys it before it is ever shown.
  ::EndDialog(dialog.hwnd(), IDCANCEL);
}

}  // namespace

void OpenUpdateFile(UpdateDialog& dialog, AppState& app) {
  UpdateHeader header;
  HeaderRefusal refusal = ReadUpdateHeader(*app.updateFile, &header);
  if (refusal != HeaderRefusal::none) {
    Refuse(dialog, refusal);
    return;
  }
  dialog.descriptionText = header.description;
  app.productName = header.productName;
  app.failureMessage = header.failureMessage;
  dialog.pathText = ProposeInstallDir(header);
  // Checked when the document is loaded, before anything runs.
  app.document.trust = RecordedTrust(header);
  ::SetWindowTextA(dialog.hwnd(), (app.productName + " Update").c_str());
  dialog.DoDataExchange(false);
  RECT client;
  ::GetClientRect(dialog.logList_, &client);
  ::SendMessageA(dialog.logList_, LB_SETHORIZONTALEXTENT, (client.right - client.left) * 2, 0);
}
