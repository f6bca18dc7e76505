// Opening an update file: the main window's initialisation reads the header with a
// short-lived reader, refuses what is not a supported update file, fills the window, and
// checks the body against its integrity record.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "model/integrity_check.h"
#include "model/limits.h"
#include "session/app_state.h"
#include "session/header_check.h"
#include "session/install_dir.h"
#include "session/trust.h"
#include "ui/update_dialog.h"

namespace {

const char kHomePage[] = "http://www.velloran.com/";
const char kUtilitiesPage[] = "http://www.velloran.com/utilities/";

// Shows the refusal, offers the page for an unsupported format, and ends the window.
void Refuse(HWND dialog, HeaderRefusal refusal) {
  HostMessageBox(RefusalMessage(refusal), MB_OK | MB_ICONSTOP);
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
  if (question && HostMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES) {
    ::ShellExecuteA(dialog, nullptr, page, nullptr, nullptr, SW_SHOWNORMAL);
  }
  // Ending the dialog during its initialisation destroys it before it is ever shown.
  ::EndDialog(dialog, IDCANCEL);
}

}  // namespace

void UpdateDialog::OpenUpdateFile() {
  UpdateHeader header;
  HeaderRefusal refusal = ReadUpdateHeader(*app_.updateFile, &header);
  if (refusal != HeaderRefusal::none) {
    Refuse(hwnd(), refusal);
    return;
  }
  // A description longer than updpack writes is shown cut: laying it out in the box costs the
  // square of its length, and one line of 256 KiB kept the window from showing for a minute.
  descriptionText = header.description.substr(0, kMaxDescriptionLength);
  app_.productName = header.productName;
  app_.failureMessage = header.failureMessage;
  pathText = ProposeInstallDir(header);
  // Checked when the document is loaded, before anything runs.
  app_.document.trust = RecordedTrust(header);
  ::SetWindowTextA(hwnd(), (app_.productName + " Update").c_str());
  DoDataExchange(false);
  RECT client;
  ::GetClientRect(logList_, &client);
  ::SendMessageA(logList_, LB_SETHORIZONTALEXTENT, (client.right - client.left) * 2, 0);
  // A damaged file is said to be damaged now, with the box its first run would show; the
  // window opens all the same, and every run refuses the file as the load does.
  try {
    CheckBodyIfRecorded(*app_.updateFile);
  } catch (const CException& e) {
    HostReportError(&e, false);
  }
}
