// The main window and the options dialog, through the real program.
#include <filesystem>

#include "model/limits.h"
#include "vareri_fixture.h"

namespace {

using gui::BoxIcon;

class MainWindowTest : public VareriGuiTest {
 protected:
  // Demo: A.DLL older and known, B.DLL not selected by default, E.DLL current; each
  // component named and described after its file.
  HWND ThreeEntries() {
    DemoOptions demo;
    demo.tweak = [](DocumentPlan& plan) {
      for (size_t i = 0; i < plan.items.size(); ++i) {
        plan.items[i].componentName = "Component " + plan.items[i].fileName;
        plan.items[i].description = "About " + plan.items[i].fileName;
      }
    };
    BuildDemo(demo);
    app_.updateFile.reset();
    Start(updatePath_);
    HWND main = WaitForMain();
    gui::SetEditText(main, IDC_PATH, Win("APP"));
    return main;
  }

  std::vector<std::string> Log(HWND main) { return gui::ListBoxLines(gui::Control(main, IDC_LOG)); }

  void ExpectBox(const gui::MessageBoxInfo& box, const std::string& text, BoxIcon icon) {
    EXPECT_EQ(box.caption, "Velloran");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, icon);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].id, IDOK);
    gui::AnswerMessageBox(box.window, IDOK);
  }

  // The options dialog, opened from the main window.
  HWND OpenOptions(HWND main) {
    gui::ClickButton(main, IDC_OPTIONS);
    return gui::WaitForWindow(process_.Id(), gui::CaptionIs("Update Options"));
  }
  bool Crossed(HWND options, int row) { return RowCrossed(options, row); }
  POINT Strip(HWND options, int row) { return RowStrip(options, row); }
  POINT Text(HWND options, int row) { return RowText(options, row); }

  const Bytes &oldA_ = demo_[0][0], &newA_ = demo_[1][0], &newE_ = demo_[1][2];
};

TEST_F(MainWindowTest, ThreeEntriesCheckOptionsThenUpdate) {
  HWND main = ThreeEntries();
  ExpectBox(ClickForBox(main, IDC_CHECK), "Demo can be sucessfully updated", BoxIcon::exclamation);
  std::vector<std::string> check = {
      Win("APP\\A.DLL") + " will be updated",
      Win("APP\\B.DLL") + " will not be updated (User Selection)",
      Win("APP\\E.DLL") + " is up to date",
  };
  EXPECT_EQ(Log(main), check);
  SaveScreenshotFor(main, "main-after-check");

  HWND options = OpenOptions(main);
  EXPECT_EQ(gui::ControlText(options, IDC_COMPONENT_DESCRIPTION), "About A.DLL");
  gui::ClickButton(options, IDC_RENAME);
  SaveScreenshotFor(options, "options");
  gui::ClickButton(options, IDOK);
  ASSERT_TRUE(gui::WaitForWindowGone(options));

  gui::ClickButton(main, IDC_UPDATE);
  gui::MessageBoxInfo box = NextBox();
  // The buttons change before the box appears.
  EXPECT_EQ(gui::ControlText(main, IDCANCEL), "Close");
  for (int id : {IDC_CHECK, IDC_UPDATE, IDC_OPTIONS}) {
    EXPECT_FALSE(gui::IsControlVisible(gui::Control(main, id))) << id;
  }
  EXPECT_TRUE(gui::IsControlVisible(gui::Control(main, IDC_BROWSE)));
  SaveScreenshotFor(box.window, "closing-message");
  ExpectBox(box, "Demo was sucessfully updated", BoxIcon::exclamation);
  std::vector<std::string> update = {
      Win("APP\\A.DLL") + " renamed to A.DL_",
      "Updated File " + Win("APP\\A.DLL"),
      Win("APP\\B.DLL") + " was not updated (User Selection)",
      Win("APP\\E.DLL") + " is up to date",
  };
  EXPECT_EQ(Log(main), update);
  // The hidden buttons are gone for good: their commands do nothing, and Enter means Close.
  ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_OPTIONS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(gui::Control(main, IDC_OPTIONS)));
  ASSERT_TRUE(gui::BringToFront(main));
  gui::InputKey(VK_RETURN);
  ASSERT_TRUE(process_.WaitForExit());
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\A.DL_")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\E.DLL")), newE_);
}

TEST_F(MainWindowTest, ClosingMessagesOfFailedAndCurrentRuns) {
  HWND main = ThreeEntries();
  // A path too long to keep is refused whole, never run shortened.
  gui::SetEditText(main, IDC_PATH, Win("APP\\") + std::string(300, 'x'));
  ExpectBox(ClickForBox(main, IDC_UPDATE),
            "The path is longer than 255 characters.\nChoose a shorter installation directory.",
            BoxIcon::exclamation);
  EXPECT_TRUE(Log(main).empty());
  // A path typed between two runs is the second run's installation directory.
  gui::SetEditText(main, IDC_PATH, Win("NOWHERE"));
  ExpectBox(ClickForBox(main, IDC_CHECK), "Demo can not be succesfully updated", BoxIcon::hand);
  EXPECT_EQ(Log(main)[0], Win("NOWHERE\\A.DLL") + " error [File Not Found]");
  ExpectBox(ClickForBox(main, IDC_UPDATE), "Demo could not be updated.", BoxIcon::hand);
  EXPECT_EQ(gui::ControlText(main, IDCANCEL), "Cancel");  // the buttons stay
  EXPECT_TRUE(gui::IsControlVisible(gui::Control(main, IDC_CHECK)));
  gui::SetEditText(main, IDC_PATH, Win("APP"));
  // Leave A.DLL out: every selected file is then current.
  HWND options = OpenOptions(main);
  gui::PostClick(gui::Control(options, IDC_COMPONENTS), Strip(options, 0));
  ASSERT_TRUE(gui::WaitUntil([&] { return !Crossed(options, 0); }));
  gui::ClickButton(options, IDOK);
  ASSERT_TRUE(gui::WaitForWindowGone(options));
  ExpectBox(ClickForBox(main, IDC_CHECK), "Demo is up to date", BoxIcon::exclamation);
  EXPECT_EQ(Log(main)[0], Win("APP\\A.DLL") + " will not be updated (User Selection)");
  // An update that replaces nothing but meets no error is a successful update.
  ExpectBox(ClickForBox(main, IDC_UPDATE), "Demo was sucessfully updated", BoxIcon::exclamation);
  EXPECT_FALSE(gui::IsControlVisible(gui::Control(main, IDC_CHECK)));
  Close(main);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
}

// A log longer than the list holds every line, and once the run has ended the list draws
// again (lines below its view are added with its drawing held): scrolled, it shows others.
TEST_F(MainWindowTest, ALongLogDrawsAgainOnceTheRunEnds) {
  std::vector<EntryPlan> entries;
  for (int i = 0; i < 40; ++i) {
    entries.emplace_back("F" + std::to_string(i) + ".DLL");
    entries.back().newBytes = MakeProgram(kV11, 0, 3000, i);
  }
  HWND main = OpenMain(entries);
  gui::SetEditText(main, IDC_PATH, Win("APP"));
  gui::MessageBoxInfo box = ClickForBox(main, IDC_CHECK);
  gui::AnswerMessageBox(box.window, IDOK);
  HWND list = gui::Control(main, IDC_LOG);
  std::vector<std::string> lines = gui::ListBoxLines(list);
  ASSERT_EQ(lines.size(), 40u);
  EXPECT_EQ(lines[39], Win("APP\\F39.DLL") + " error [File Not Found]");
  const gui::Bitmap top = gui::CaptureWindow(list, true);
  DWORD_PTR ignored;
  ASSERT_TRUE(::SendMessageTimeoutA(list, LB_SETTOPINDEX, 39, 0, SMTO_ABORTIFHUNG,
                                    gui::kMessageTimeoutMs, &ignored));
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::CaptureWindow(list, true).pixels != top.pixels; }));
  Close(main);
}

TEST_F(MainWindowTest, OptionsDialogRowsAndCommits) {
  HWND main = ThreeEntries();
  HWND options = OpenOptions(main);
  HWND list = gui::Control(options, IDC_COMPONENTS);
  // First opening: the crosses follow the default selection.
  EXPECT_TRUE(Crossed(options, 0));
  EXPECT_FALSE(Crossed(options, 1));
  EXPECT_TRUE(Crossed(options, 2));
  EXPECT_EQ(gui::ListBoxSelection(list), 0);
  EXPECT_EQ(::SendMessageA(gui::Control(options, IDC_RENAME), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // The selected row's highlight covers its text area only: the check-box area, here the
  // gap between the square and the text, keeps the list's background.
  RECT row = gui::ListBoxItemRect(list, 0);
  const int middle = (row.top + row.bottom) / 2;
  const COLORREF window = ::GetSysColor(COLOR_WINDOW);
  EXPECT_TRUE(gui::WaitUntil([&] {
    return gui::PixelAt(list, POINT{row.right - 3, middle}) == ::GetSysColor(COLOR_HIGHLIGHT);
  }));
  EXPECT_EQ(gui::PixelAt(list, POINT{row.left + (row.bottom - row.top), middle}), window);
  EXPECT_EQ(gui::PixelAt(list, POINT{row.right - 3, middle + (row.bottom - row.top)}), window);
  // A press on the text only selects and shows the description.
  gui::PostClick(list, Text(options, 1));
  ASSERT_TRUE(gui::WaitUntil([&] { return gui::ListBoxSelection(list) == 1; }));
  EXPECT_EQ(gui::ControlText(options, IDC_COMPONENT_DESCRIPTION), "About B.DLL");
  EXPECT_FALSE(Crossed(options, 1));
  // A press in the left strip selects and flips in one press.
  gui::PostClick(list, Strip(options, 2));
  ASSERT_TRUE(gui::WaitUntil([&] { return !Crossed(options, 2); }));
  EXPECT_EQ(gui::ListBoxSelection(list), 2);
  EXPECT_EQ(gui::ControlText(options, IDC_COMPONENT_DESCRIPTION), "About E.DLL");
  // A double click flips once, not twice; the space bar flips nothing.
  gui::PostDoubleClick(list, Strip(options, 1));
  ASSERT_TRUE(gui::WaitUntil([&] { return Crossed(options, 1); }));
  gui::PostKey(list, VK_SPACE);
  EXPECT_TRUE(Crossed(options, 1));
  // Cancel keeps the old crosses.
  gui::ClickButton(options, IDCANCEL);
  ASSERT_TRUE(gui::WaitForWindowGone(options));
  options = OpenOptions(main);
  EXPECT_TRUE(Crossed(options, 0));
  EXPECT_FALSE(Crossed(options, 1));
  EXPECT_TRUE(Crossed(options, 2));
  // OK with E.DLL unchecked: the next check leaves it out.
  gui::PostClick(gui::Control(options, IDC_COMPONENTS), Strip(options, 2));
  ASSERT_TRUE(gui::WaitUntil([&] { return !Crossed(options, 2); }));
  gui::ClickButton(options, IDOK);
  ASSERT_TRUE(gui::WaitForWindowGone(options));
  ExpectBox(ClickForBox(main, IDC_CHECK), "Demo can be sucessfully updated", BoxIcon::exclamation);
  EXPECT_EQ(Log(main)[2], Win("APP\\E.DLL") + " will not be updated (User Selection)");
  Close(main);
}

TEST_F(MainWindowTest, DescriptionOnWhiteDialogOnButtonFace) {
  HWND main = ThreeEntries();
  HWND description = gui::Control(main, IDC_DESCRIPTION);
  RECT r;
  ::GetClientRect(description, &r);
  POINT inside = {r.right - 4, r.bottom - 4};
  EXPECT_TRUE(
      gui::WaitUntil([&] { return gui::PixelAt(description, inside) == RGB(255, 255, 255); }, 5000))
      << std::hex << gui::PixelAt(description, inside);
  COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(gui::PixelAt(main, POINT{2, 2}), face);
  EXPECT_NE(face, RGB(255, 255, 255));
  SaveScreenshotFor(main, "main-window");
  Close(main);
}

TEST_F(MainWindowTest, AHandMadeLongDescriptionIsShownCut) {
  DemoOptions demo;
  demo.tweak = [](DocumentPlan& plan) { plan.description = std::string(256 << 10, 'x'); };
  BuildDemo(demo);
  app_.updateFile.reset();
  Start(updatePath_);
  HWND main = WaitForMain();
  EXPECT_EQ(gui::ControlText(main, IDC_DESCRIPTION), std::string(kMaxDescriptionLength, 'x'));
  Close(main);
}

TEST_F(MainWindowTest, BrowseFillsThePathOnOkOnly) {
  HWND main = ThreeEntries();
  gui::SetEditText(main, IDC_PATH, "unchanged");
  gui::ClickButton(main, IDC_BROWSE);
  HWND chooser = gui::WaitForWindow(process_.Id(), gui::CaptionIs("Open"));
  gui::ClickButton(chooser, IDCANCEL);
  ASSERT_TRUE(gui::WaitForWindowGone(chooser));
  EXPECT_EQ(gui::ControlText(main, IDC_PATH), "unchanged");
  // The old-style dialog follows the user's navigation through its current directory;
  // typing a directory into its (hidden) name box and pressing OK goes there.
  gui::ClickButton(main, IDC_BROWSE);
  chooser = gui::WaitForWindow(process_.Id(), gui::CaptionIs("Open"));
  gui::SetEditText(chooser, IDC_CHOOSER_NAME, Win("APP\\system"));
  gui::ClickButton(chooser, IDOK);
  HWND still = chooser;
  // The first OK changes directory; a second OK with "*.*" confirms it.
  if (!gui::WaitForWindowGone(still, 2000)) {
    gui::SetEditText(chooser, IDC_CHOOSER_NAME, "*.*");
    gui::ClickButton(chooser, IDOK);
    ASSERT_TRUE(gui::WaitForWindowGone(chooser));
  }
  std::string chosen = gui::ControlText(main, IDC_PATH);
  EXPECT_EQ(_stricmp(chosen.c_str(), Win("APP\\system").c_str()), 0) << chosen;
  Close(main);
}

TEST_F(MainWindowTest, OptionsOfAnEmptyDocument) {
  HWND main = OpenMain({});
  HWND options = OpenOptions(main);
  HWND list = gui::Control(options, IDC_COMPONENTS);
  EXPECT_EQ(gui::ListBoxCount(list), 0);
  EXPECT_EQ(gui::ListBoxSelection(list), -1);
  EXPECT_EQ(gui::ControlText(options, IDC_COMPONENT_DESCRIPTION), "");
  gui::PostClick(list, POINT{3, 5});  // no row: nothing to flip, nothing fails
  gui::ClickButton(options, IDOK);
  ASSERT_TRUE(gui::WaitForWindowGone(options));
  ExpectBox(ClickForBox(main, IDC_CHECK), "Demo is up to date", BoxIcon::exclamation);
  Close(main);
}

TEST_F(MainWindowTest, OptionsOnADamagedDocumentReportsAndGoesOn) {
  BuildDemo();
  app_.updateFile.reset();
  Bytes bytes = Installed(updatePath_);
  bytes.resize(bytes.size() - 2);  // the sample parameters are cut
  Install(updatePath_, bytes);
  Start(updatePath_);
  HWND main = WaitForMain();
  gui::MessageBoxInfo box = ClickForBox(main, IDC_OPTIONS);
  EXPECT_EQ(box.icon, BoxIcon::hand);
  EXPECT_TRUE(Contains(box.text, "ends unexpectedly"));
  gui::AnswerMessageBox(box.window, IDOK);
  // The window goes on; a run fails the same way and shows no closing message.
  box = ClickForBox(main, IDC_CHECK);
  EXPECT_EQ(box.caption, "vareri");
  gui::AnswerMessageBox(box.window, IDOK);
  EXPECT_TRUE(gui::IsControlVisible(gui::Control(main, IDC_CHECK)));
  Close(main);
}

}  // namespace
