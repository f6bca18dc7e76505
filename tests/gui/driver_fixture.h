// The fixture of the GUI driver's own tests: fixture_app, a dialog program of the same kind
// as vareri.exe, started for each test and found by its dialog; and a temporary file.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fixture_ids.h"
#include "gui_driver.h"

// A file in the temporary directory, removed again at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::string& name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    path_ = std::string(dir) + name;
  }
  ~TempFile() { DeleteFileA(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// fixture_app started for each test and its dialog found. ctest passes its path in
// VARERI_GUI_FIXTURE; by hand it is found beside us.
class FixtureApp : public testing::Test {
 protected:
  // Starts the fixture with `args` after its quoted path and waits for its dialog.
  void Launch(const std::string& args = "") {
    path_ = gui::LocateProgram("VARERI_GUI_FIXTURE", "fixture_app.exe");
    command_line_ = "\"" + path_ + "\"" + args;
    app_ = gui::Process::Start(path_, command_line_);
    dialog_ = gui::WaitForWindow(app_.Id(), gui::CaptionIs("Driver Fixture - ready"));
  }
  void SetUp() override { Launch(); }

  HWND Item(int id) { return gui::Control(dialog_, id); }
  bool ListHasLine(const std::string& line) {
    for (const auto& l : gui::ListBoxLines(Item(IDC_LIST))) {
      if (l == line) return true;
    }
    return false;
  }
  bool StatusIs(const std::string& text) { return gui::ControlText(dialog_, IDC_STATUS) == text; }
  POINT ItemCentre(HWND list, int index) {
    RECT r = gui::ListBoxItemRect(list, index);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }

  std::string path_;
  std::string command_line_;
  gui::Process app_;
  HWND dialog_ = nullptr;
};
