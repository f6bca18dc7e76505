#include "vareri_fixture.h"

#include <cstdlib>

std::string VareriGuiTest::Exe() {
  const char* exe = std::getenv("VARERI_EXE");
  if (!exe) throw gui::DriverError("VARERI_EXE does not say where vareri.exe is");
  return gui::ToWindowsPath(exe);
}

gui::WindowMatch IsMainWindow() {
  return gui::WindowMatch{"the main window",
                          [](HWND w) { return ::GetDlgItem(w, IDC_LOG) != nullptr; }};
}

void VareriGuiTest::Start(const std::string& rest, const std::string& exe) {
  process_ = gui::Process::Start(exe, "\"" + exe + "\" " + rest);
}

HWND VareriGuiTest::OpenMain(const std::vector<EntryPlan>& entries,
                             const std::function<void(DocumentPlan&)>& tweak) {
  Build(entries, tweak);
  app_.updateFile.reset();
  Start(updatePath_);
  return WaitForMain();
}

HWND VareriGuiTest::WaitForMain() { return gui::WaitForWindow(process_.Id(), IsMainWindow()); }

gui::MessageBoxInfo VareriGuiTest::ClickForBox(HWND window, int id) {
  gui::ClickButton(window, id);
  return NextBox();
}

gui::MessageBoxInfo VareriGuiTest::NextBox() {
  HWND box = gui::WaitForMessageBox(process_.Id(), 60000);
  return gui::ReadMessageBox(box);
}

void VareriGuiTest::Close(HWND main) {
  gui::ClickButton(main, IDCANCEL);
  EXPECT_TRUE(process_.WaitForExit());
}

void VareriGuiTest::SaveScreenshotFor(HWND window, const std::string& name) {
  const char* dir = std::getenv("VARERI_SCREENSHOTS");
  if (!dir || !*dir) return;
  ::Sleep(300);  // let the window finish painting
  gui::SaveScreenshot(window, gui::ToWindowsPath(dir) + "\\" + name + ".bmp");
}

bool RowCrossed(HWND options, int row) {
  HWND list = gui::Control(options, IDC_COMPONENTS);
  RECT r = gui::ListBoxItemRect(list, row);
  int s = (r.bottom - r.top) - 3;
  POINT centre = {r.left + 2 + s / 2, r.top + 1 + s / 2};
  ::Sleep(150);  // let the list repaint
  COLORREF c = gui::PixelAt(list, centre);
  return GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
}

POINT RowStrip(HWND options, int row) {
  RECT r = gui::ListBoxItemRect(gui::Control(options, IDC_COMPONENTS), row);
  return POINT{r.left + 3, (r.top + r.bottom) / 2};
}

POINT RowText(HWND options, int row) {
  RECT r = gui::ListBoxItemRect(gui::Control(options, IDC_COMPONENTS), row);
  return POINT{r.left + (r.bottom - r.top) + 20, (r.top + r.bottom) / 2};
}
