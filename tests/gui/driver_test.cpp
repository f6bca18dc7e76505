// Tests of the GUI driver against fixture_app, a dialog program of the same kind as
// vareri.exe, under Wine and Xvfb (scripts/xvfb-run-wine.sh) or on Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fixture_ids.h"
#include "gui_driver.h"

namespace gui {
// How gtest prints a button in a failed expectation.
void PrintTo(const BoxButton& b, std::ostream* os) { *os << b.id << ":'" << b.text << "'"; }
}  // namespace gui

namespace {

using gui::BoxButton;
using gui::BoxIcon;
using gui::DriverError;
using gui::Process;

// ctest passes the fixture's path in VARERI_GUI_FIXTURE; by hand it is found beside us.
std::string FixturePath() { return gui::LocateProgram("VARERI_GUI_FIXTURE", "fixture_app.exe"); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

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

class FixtureApp : public testing::Test {
 protected:
  // Starts the fixture with `args` after its quoted path and waits for its dialog.
  void Launch(const std::string& args = "") {
    path_ = FixturePath();
    command_line_ = Quoted(path_) + args;
    app_ = Process::Start(path_, command_line_);
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
  Process app_;
  HWND dialog_ = nullptr;
};

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

TEST_F(FixtureApp, ReadsAndClicksListBoxes) {
  HWND list = Item(IDC_LIST);
  EXPECT_EQ(gui::ListBoxCount(list), 3);
  EXPECT_EQ(gui::ListBoxLines(list), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(gui::ListBoxSelection(list), -1);
  EXPECT_EQ(gui::ListBoxTopIndex(list), 0);
  EXPECT_THROW(gui::ListBoxSelections(list), DriverError);  // single selection
  RECT r0 = gui::ListBoxItemRect(list, 0);
  RECT r1 = gui::ListBoxItemRect(list, 1);
  EXPECT_EQ(r0.bottom, r1.top);
  EXPECT_GT(r0.bottom - r0.top, 8);

  gui::PostClick(list, ItemCentre(list, 1));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("list 1"); }));
  EXPECT_EQ(gui::ListBoxSelection(list), 1);
  gui::PostKey(list, VK_DOWN);
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("list 2"); }));
  gui::PostDoubleClick(list, ItemCentre(list, 0));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("double 0"); }));

  // Owner-drawn without strings: item data only, clicks by posted messages or real input.
  HWND drawn = Item(IDC_DRAWN);
  EXPECT_THROW(gui::ListBoxLines(drawn), DriverError);
  EXPECT_EQ(
      gui::ListBoxItemData(drawn),
      (std::vector<ULONG_PTR>{RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 255, 0)}));
  gui::PostClick(drawn, ItemCentre(drawn, 2));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("drawn 2"); }));
  gui::InputClick(drawn, ItemCentre(drawn, 3));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("drawn 3"); }))
      << gui::ControlText(dialog_, IDC_STATUS);
  EXPECT_EQ(gui::ListBoxSelection(drawn), 3);
}

TEST_F(FixtureApp, ReadsPixelsAndSavesScreenshots) {
  HWND swatch = Item(IDC_SWATCH);
  EXPECT_TRUE(gui::WaitUntil([&] {
    return gui::PixelAt(swatch, {5, 5}) == RGB(255, 0, 0);
  })) << std::hex
      << gui::PixelAt(swatch, {5, 5});
  HWND drawn = Item(IDC_DRAWN);
  EXPECT_EQ(gui::PixelAt(drawn, ItemCentre(drawn, 1)), RGB(0, 160, 0));
  EXPECT_EQ(gui::PixelAt(drawn, ItemCentre(drawn, 2)), RGB(0, 0, 255));

  TempFile shot("vareri_gui_driver_shot.bmp");
  gui::SaveScreenshot(dialog_, shot.path());
  RECT r;
  GetWindowRect(dialog_, &r);
  const long width = r.right - r.left;
  const long height = r.bottom - r.top;
  std::FILE* f = std::fopen(shot.path().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<unsigned char> bytes;
  for (int ch; (ch = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<unsigned char>(ch));
  std::fclose(f);
  const long row = (width * 3 + 3) & ~3L;
  ASSERT_EQ(static_cast<long>(bytes.size()), 54 + row * height);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  // The swatch's centre, found in the file (bottom-up rows, BGR).
  POINT centre = {20, 20};
  ClientToScreen(swatch, &centre);
  const long x = centre.x - r.left;
  const long y = height - 1 - (centre.y - r.top);
  const unsigned char* px = &bytes[54 + y * row + x * 3];
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 0);
  EXPECT_EQ(px[2], 255);

  // In the screenshot's own pixels too.
  gui::Bitmap client = gui::CaptureWindow(dialog_, true);
  RECT cr;
  GetClientRect(dialog_, &cr);
  EXPECT_EQ(client.width, cr.right);
  EXPECT_EQ(client.height, cr.bottom);
}

TEST_F(FixtureApp, TypesWithPostedAndRealKeys) {
  HWND edit = Item(IDC_EDIT);
  // Real input: click into the edit box, type, and Enter presses the default button.
  gui::InputClick(edit, {5, 5});
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::FocusedWindow(dialog_) == edit; }));
  gui::InputText("Key Typed");
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::ControlText(dialog_, IDC_EDIT) == "Key Typed"; }))
      << gui::ControlText(dialog_, IDC_EDIT);
  gui::InputKey(VK_RETURN);
  ASSERT_TRUE(app_.WaitForExit());
  EXPECT_EQ(app_.ExitCode(), 0u);

  // Posted keys reach the dialog's keyboard handling too: Escape cancels.
  Launch();
  gui::PostKey(Item(IDC_EDIT), VK_ESCAPE);
  ASSERT_TRUE(app_.WaitForExit());
  EXPECT_EQ(app_.ExitCode(), 3u);
}

TEST_F(FixtureApp, ChoosesAFileInTheOpenDialog) {
  TempFile file("vareri_gui_driver_pick.upd");
  std::FILE* f = std::fopen(file.path().c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  HWND dialog = gui::ClickForWindow(Item(IDC_OPEN), app_.Id(), gui::IsFileDialog());
  EXPECT_EQ(gui::WindowCaption(dialog), "Open fixture file");
  gui::ChooseFile(dialog, file.path());
  ASSERT_TRUE(gui::WaitUntil([&] { return ListHasLine("open -> " + file.path()); }))
      << gui::DescribeProcessWindows(app_.Id());
  EXPECT_EQ(gui::ControlText(dialog_, IDC_EDIT), file.path());
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

TEST(Registry, WritesReadsAndRemovesKeys) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const std::string key = "Software\\VareriGuiDriverTest";
    gui::RemoveRegistryKey(root, key);
    EXPECT_FALSE(gui::RegistryKeyExists(root, key));
    EXPECT_EQ(gui::RegistryString(root, key, "Path"), std::nullopt);

    gui::WriteRegistryString(root, key + "\\Product", "Path", "C:\\Demo");
    gui::WriteRegistryString(root, key + "\\Product", "", "default value");
    gui::WriteRegistryDword(root, key + "\\Product\\Deep", "Count", 42);
    EXPECT_TRUE(gui::RegistryKeyExists(root, key + "\\Product\\Deep"));
    EXPECT_EQ(gui::RegistryString(root, key + "\\Product", "Path"), "C:\\Demo");
    EXPECT_EQ(gui::RegistryString(root, key + "\\Product", ""), "default value");
    EXPECT_EQ(gui::RegistryDword(root, key + "\\Product\\Deep", "Count"), 42u);
    EXPECT_EQ(gui::RegistryDword(root, key + "\\Product", "Missing"), std::nullopt);
    EXPECT_THROW(gui::RegistryDword(root, key + "\\Product", "Path"), DriverError);

    gui::RemoveRegistryKey(root, key);
    EXPECT_FALSE(gui::RegistryKeyExists(root, key));
    gui::RemoveRegistryKey(root, key);  // already gone: no error
  }
  // HKEY_CLASSES_ROOT shows what HKLM\Software\Classes holds.
  const std::string ext = ".vareri-gui-driver-test";
  gui::WriteRegistryString(HKEY_CLASSES_ROOT, ext, "", "VareriGuiDriverTest.File");
  EXPECT_EQ(gui::RegistryString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + ext, ""),
            "VareriGuiDriverTest.File");
  gui::RemoveRegistryKey(HKEY_CLASSES_ROOT, ext);
  EXPECT_FALSE(gui::RegistryKeyExists(HKEY_CLASSES_ROOT, ext));
}

TEST(Paths, MapsUnixPathsToWineDrivesAndLocatesPrograms) {
  EXPECT_EQ(gui::ToWindowsPath("C:\\x\\y.exe"), "C:\\x\\y.exe");
  std::string mapped = gui::ToWindowsPath("/tmp/some dir/x.exe");
  EXPECT_EQ(mapped.substr(1), ":\\tmp\\some dir\\x.exe");

  SetEnvironmentVariableA("VARERI_GUI_TEST_PROGRAM", nullptr);
  EXPECT_EQ(gui::LocateProgram("VARERI_GUI_TEST_PROGRAM", "x.exe"),
            gui::ExeDirectory() + "\\x.exe");
  SetEnvironmentVariableA("VARERI_GUI_TEST_PROGRAM", "/tmp/some dir/x.exe");
  EXPECT_EQ(gui::LocateProgram("VARERI_GUI_TEST_PROGRAM", "x.exe"), mapped);
  SetEnvironmentVariableA("VARERI_GUI_TEST_PROGRAM", nullptr);
}

}  // namespace
