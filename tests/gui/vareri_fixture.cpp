#include "vareri_fixture.h"

#include <cstdlib>

std::string VareriGuiTest::Exe() {
  const char* exe = std::getenv("VARERI_EXE");
  if (!exe) throw gui::DriverError("VARERI_EXE does not say where vareri.exe is");
  return gui::ToWindowsPath(exe);
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
