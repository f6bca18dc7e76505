// Tests of the GUI driver against fixture_app under Wine and Xvfb
// (scripts/xvfb-run-wine.sh) or on Windows: processes, finding windows, controls, message
// boxes, and a program that hangs.
#include <vector>

#include "driver_fixture.h"

namespace gui {
// How gtest prints a button in a failed expectation.
void PrintTo(const BoxButton& b, std::ostream* os) { *os << b.id << ":'" << b.text << "'"; }
}  // namespace gui

namespace {

using gui::BoxButton;
using gui::BoxIcon;
using gui::DriverError;
using gui::Process;

TEST_F(FixtureApp, PassesTheCommandLineVerbatimAndReportsTheExitCode) {
  // Odd spacing and quoting must reach the program unchanged.
  app_.Kill();
  Launch("   \"two  words\"  x\\\"y --exit-code=7");
  EXPECT_EQ(gui::ControlText(dialog_, IDC_CMDLINE), command_line_);
  EXPECT_TRUE(app_.IsRunning());

  gui::ClickButton(dialog_, IDOK);
  ASSERT_TRUE(app_.WaitForExit());
  EXPECT_EQ(app_.ExitCode(), 7u);
  EXPECT_FALSE(app_.IsRunning());
}

TEST_F(FixtureApp, KillsAndTimesOut) {
  EXPECT_FALSE(app_.WaitForExit(100));
  EXPECT_THROW(app_.ExitCode(), DriverError);
  app_.Kill(42);
  EXPECT_FALSE(app_.IsRunning());
  EXPECT_EQ(app_.ExitCode(), 42u);
  EXPECT_THROW(Process::Start("Z:\\no\\such\\program.exe", "program.exe"), DriverError);
}

TEST_F(FixtureApp, FindsWindowsByCaptionClassAndPrefix) {
  DWORD pid = app_.Id();
  EXPECT_EQ(gui::FindTopWindow(pid, gui::CaptionStartsWith("Driver Fix")), dialog_);
  EXPECT_EQ(gui::FindTopWindow(pid, gui::ClassIs("#32770")), dialog_);
  EXPECT_EQ(gui::FindTopWindow(
                pid, gui::AllOf(gui::ClassIs("#32770"), gui::CaptionIs("Driver Fixture - ready"))),
            dialog_);
  EXPECT_EQ(gui::FindTopWindow(pid, gui::CaptionIs("Driver Fixture")), nullptr);
  EXPECT_EQ(gui::FindTopWindow(pid, gui::IsMessageBox()), nullptr);
  EXPECT_EQ(gui::FindTopWindow(GetCurrentProcessId(), gui::ClassIs("#32770")), nullptr);
  EXPECT_EQ(gui::WindowCaption(dialog_), "Driver Fixture - ready");
  EXPECT_EQ(gui::WindowClass(dialog_), "#32770");

  // A wait that runs out says what the process shows instead.
  try {
    gui::WaitForWindow(pid, gui::CaptionIs("Nothing"), 200);
    ADD_FAILURE() << "WaitForWindow did not time out";
  } catch (const DriverError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("caption 'Nothing'"), std::string::npos) << what;
    EXPECT_NE(what.find("Driver Fixture - ready"), std::string::npos) << what;
    EXPECT_NE(what.find("&Warn"), std::string::npos) << what;
  }
  EXPECT_THROW(gui::Control(dialog_, 4242), DriverError);
}

TEST_F(FixtureApp, ReadsWritesAndChecksControls) {
  EXPECT_EQ(gui::ControlText(dialog_, IDC_STATUS), "ready");
  EXPECT_EQ(gui::ControlText(dialog_, IDC_WARN), "&Warn");
  EXPECT_EQ(gui::ReadText(dialog_), "Driver Fixture - ready");

  gui::SetEditText(dialog_, IDC_EDIT, "C:\\products\\demo.upd");
  EXPECT_EQ(gui::ControlText(dialog_, IDC_EDIT), "C:\\products\\demo.upd");
  gui::SetEditText(dialog_, IDC_EDIT, "");
  gui::PostChars(Item(IDC_EDIT), "typed");
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::ControlText(dialog_, IDC_EDIT) == "typed"; }));

  EXPECT_TRUE(gui::IsControlVisible(Item(IDC_WARN)));
  EXPECT_TRUE(gui::IsControlEnabled(Item(IDC_WARN)));
  EXPECT_FALSE(gui::IsControlEnabled(Item(IDC_DISABLED)));
  EXPECT_FALSE(gui::IsControlVisible(Item(IDC_HIDDEN)));
  EXPECT_THROW(gui::ClickButton(dialog_, IDC_DISABLED), DriverError);
  EXPECT_THROW(gui::ClickButton(dialog_, IDC_HIDDEN), DriverError);
}

struct BoxCase {
  int button;
  const char* caption;
  const char* text;
  BoxIcon icon;
  std::vector<BoxButton> buttons;
  int answer;
  const char* line;
};

TEST_F(FixtureApp, ReadsAndAnswersMessageBoxes) {
  const BoxCase cases[] = {
      {IDC_WARN,
       "Fixture warning",
       "The disk is almost full.\nFree some space.",
       BoxIcon::exclamation,
       {{IDOK, "OK"}},
       IDOK,
       "warn -> 1"},
      {IDC_ASK,
       "Fixture question",
       "Keep the previous versions?",
       BoxIcon::question,
       {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}},
       IDNO,
       "ask -> 7"},
      {IDC_STOP,
       "Fixture error",
       "The update file is damaged.",
       BoxIcon::hand,
       {{IDOK, "OK"}},
       IDOK,
       "stop -> 1"},
      {IDC_INFO,
       "Fixture information",
       "All files are up to date.",
       BoxIcon::asterisk,
       {{IDOK, "OK"}, {IDCANCEL, "Cancel"}},
       IDCANCEL,
       "info -> 2"},
      {IDC_PLAIN,
       "Fixture plain",
       "No icon here.",
       BoxIcon::none,
       {{IDOK, "OK"}},
       IDOK,
       "plain -> 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    HWND box = gui::ClickForWindow(Item(c.button), app_.Id(), gui::IsMessageBox());
    gui::MessageBoxInfo info = gui::ReadMessageBox(box);
    EXPECT_EQ(info.caption, c.caption);
    EXPECT_EQ(info.text, c.text);
    EXPECT_EQ(info.buttons, c.buttons);
    EXPECT_EQ(gui::BoxIconName(info.icon), std::string(gui::BoxIconName(c.icon)));
    // The box is modal: the driver is not blocked, and the dialog still answers.
    EXPECT_EQ(gui::ControlText(dialog_, IDC_STATUS), "ready");
    gui::AnswerMessageBox(box, c.answer);
    EXPECT_TRUE(gui::WaitUntil([&] { return ListHasLine(c.line); })) << c.line;
  }
  // Answering with a button the box lacks fails and leaves the box open.
  HWND box = gui::ClickForWindow(Item(IDC_WARN), app_.Id(), gui::IsMessageBox());
  EXPECT_THROW(gui::AnswerMessageBox(box, IDYES), DriverError);
  EXPECT_TRUE(IsWindowVisible(box));
}

TEST_F(FixtureApp, ClickUntilWaitsForTheEffect) {
  DWORD pid = app_.Id();
  gui::ClickUntil(Item(IDC_WARN),
                  [&] { return gui::FindTopWindow(pid, gui::IsMessageBox()) != nullptr; });
  gui::AnswerMessageBox(gui::WaitForMessageBox(pid), IDOK);
  // An effect that never shows raises, naming the button.
  try {
    gui::ClickUntil(
        Item(IDC_PLAIN), [] { return false; }, 300);
    ADD_FAILURE() << "ClickUntil did not fail";
  } catch (const DriverError& e) {
    EXPECT_NE(std::string(e.what()).find("&Plain"), std::string::npos) << e.what();
  }
}

TEST_F(FixtureApp, AHungProgramFailsTheCallInsteadOfHangingIt) {
  gui::ClickButton(dialog_, IDC_HANG);
  Sleep(300);
  DWORD start = GetTickCount();
  EXPECT_THROW(gui::ReadText(Item(IDC_EDIT)), DriverError);
  EXPECT_LE(GetTickCount() - start, gui::kMessageTimeoutMs + 2000);
  // The caption needs no answer from the program.
  EXPECT_EQ(gui::WindowCaption(dialog_), "Driver Fixture - ready");
}

}  // namespace
