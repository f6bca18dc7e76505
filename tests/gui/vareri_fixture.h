// Tests that drive the real vareri.exe under Wine and Xvfb: a product installed in a
// fresh temporary directory, an update file for it, and the program started on it.
#pragma once

#include <string>

#include "engine/engine_fixture.h"
#include "gui_driver.h"
#include "resources/resource.h"
#include "vareri_windows.h"

class VareriGuiTest : public EngineTest {
 protected:
  // vareri.exe as the test was told where to find it (VARERI_EXE).
  static std::string Exe();

  // Starts `exe` with the command line `"exe" rest` (rest verbatim).
  void Start(const std::string& rest, const std::string& exe = Exe());
  // Writes the update file for `entries` (closed again: the program opens it alone),
  // starts the program on it and returns the main window.
  HWND OpenMain(const std::vector<EntryPlan>& entries,
                const std::function<void(DocumentPlan&)>& tweak = nullptr);
  // The main window of the running program.
  HWND WaitForMain();
  // Clicks `id` of `window` and returns the message box it brings up.
  gui::MessageBoxInfo ClickForBox(HWND window, int id);
  // The next message box of the program.
  gui::MessageBoxInfo NextBox();
  // Saves a picture of `window` as <name>.bmp when VARERI_SCREENSHOTS names a directory.
  void SaveScreenshotFor(HWND window, const std::string& name);
  // Ends the program by its Cancel button and checks that it exits.
  void Close(HWND main);

  gui::Process process_;
};
