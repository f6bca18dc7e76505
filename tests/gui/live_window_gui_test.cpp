// The window during a long run: it answers the system, starts nothing, and a close request
// stops the run between two files.
#include "vareri_fixture.h"

namespace {

class LiveWindowTest : public VareriGuiTest {
 protected:
  // `count` files under APP, each installed at 1.0 when `installed`, and their update to 1.1.
  HWND OpenMany(int count, bool installed) {
    std::vector<EntryPlan> entries;
    for (int i = 0; i < count; ++i) {
      entries.emplace_back("F" + std::to_string(i) + ".DLL");
      if (!installed) continue;
      old_.push_back(MakeProgram(kV10, 0, 3000, i));
      entries.back().newBytes = MakeProgram(kV11, 0, 3000, i);
      entries.back().previous = {old_.back()};
      Install(Win("APP\\" + entries.back().name), old_.back());
    }
    HWND main = OpenMain(entries);
    gui::SetEditText(main, IDC_PATH, Win("APP"));
    return main;
  }
  bool Box() { return gui::FindTopWindow(process_.Id(), gui::IsMessageBox()) != nullptr; }
  int Lines(HWND main) { return gui::ListBoxCount(gui::Control(main, IDC_LOG)); }

  std::vector<Bytes> old_;
};

TEST_F(LiveWindowTest, TheWindowAnswersThroughoutALongCheck) {
  HWND main = OpenMany(20000, false);  // one error line per missing file
  gui::ClickButton(main, IDC_CHECK);
  DWORD start = ::GetTickCount();
  while (!Box()) {
    DWORD_PTR ignored;
    ASSERT_TRUE(::SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored));
    ASSERT_FALSE(::IsHungAppWindow(main));
    ::Sleep(100);
  }
  // Long enough for a blocked window to miss the 1 s (here about 7 s, past the 5 s after
  // which the system calls a window hung).
  EXPECT_GT(::GetTickCount() - start, 2000u);
  EXPECT_EQ(Lines(main), 20000);
}

TEST_F(LiveWindowTest, DuringAnUpdateCommandsStartNothingAndCloseStopsBetweenFiles) {
  const int files = 600;
  HWND main = OpenMany(files, true);
  gui::ClickButton(main, IDC_UPDATE);
  ASSERT_TRUE(gui::WaitUntil([&] { return Lines(main) >= 5; }, 60000));
  for (int id : {IDC_CHECK, IDC_UPDATE, IDC_OPTIONS, IDC_BROWSE, IDC_PATH}) {
    EXPECT_FALSE(gui::IsControlEnabled(gui::Control(main, id))) << id;
  }
  int before = Lines(main);
  for (int id : {IDC_CHECK, IDC_OPTIONS}) {
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(gui::Control(main, id)));
  }
  ASSERT_TRUE(gui::WaitUntil([&] { return Lines(main) > before + 5; }));
  EXPECT_EQ(gui::TopWindows(process_.Id()).size(), 1u) << "a window opened over the run";
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(process_.WaitForExit(30000));
  EXPECT_FALSE(Box());
  int replaced = 0;
  for (int i = 0; i < files; ++i) {
    Bytes now = Installed(Win("APP\\F" + std::to_string(i) + ".DLL"));
    ASSERT_TRUE(now == old_[i] || now == MakeProgram(kV11, 0, 3000, i)) << i;
    replaced += now != old_[i];
  }
  EXPECT_GT(replaced, 0);
  EXPECT_LT(replaced, files) << "the close came after the last file";
  app_.updateFile = OpenForReading(Native(updatePath_));
  Run(true);
  EXPECT_TRUE(app_.runOk);
  EXPECT_EQ(app_.record.Replaced(), static_cast<size_t>(files - replaced));
}

}  // namespace
