// Start-up, file-type registration and opening, through the real program.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "vareri_fixture.h"

namespace {

using gui::BoxIcon;

class StartUpTest : public VareriGuiTest {
 protected:
  // A one-file update (format 5 unless the tweak says otherwise), written but not run.
  void WriteUpdate(const std::function<void(DocumentPlan&)>& tweak = nullptr) {
    EntryPlan a("A.DLL");
    a.newBytes = MakeProgram(kV11, 0, 3000, 1);
    Build({a}, [&](DocumentPlan& plan) {
      plan.formatVersion = 5;
      plan.productName = "Demo";
      plan.description = "The demo update.";
      plan.defaultDirectory = "\\DEMO";
      if (tweak) tweak(plan);
    });
    app_.updateFile.reset();
  }

  void ExpectRefused(const std::string& rest, const std::string& text) {
    Start(rest);
    gui::MessageBoxInfo box = NextBox();
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "vareri");
    gui::AnswerMessageBox(box.window, IDOK);
    EXPECT_TRUE(process_.WaitForExit());
  }
};

TEST_F(StartUpTest, OpensTheFileFromTheCommandLineAndFillsTheWindow) {
  WriteUpdate();
  Start(updatePath_);
  HWND main = WaitForMain();
  EXPECT_EQ(gui::WindowCaption(main), "Demo Update");
  EXPECT_EQ(gui::ControlText(main, IDC_PATH), "C:\\DEMO");
  EXPECT_EQ(gui::ControlText(main, IDC_DESCRIPTION), "The demo update.");
  for (int id : {IDC_CHECK, IDC_UPDATE, IDC_OPTIONS, IDC_BROWSE, IDCANCEL}) {
    EXPECT_TRUE(gui::IsControlVisible(gui::Control(main, id))) << id;
  }
  // The file stays open and locked against other openers while the window is up.
  EXPECT_EQ(TryOpenForReading(Native(updatePath_)), nullptr);
  Close(main);
  EXPECT_NE(TryOpenForReading(Native(updatePath_)), nullptr);
}

TEST_F(StartUpTest, TheWholeRestOfTheCommandLineIsThePath) {
  WriteUpdate();
  std::filesystem::create_directories(Native(Win("My Files")));
  std::filesystem::copy_file(Native(updatePath_), Native(Win("My Files\\new.upd")));
  Start(Win("My Files\\new.upd"));  // unquoted, with a blank
  Close(WaitForMain());
  ExpectRefused("\"" + Win("My Files\\new.upd") + "\"", "Cannot open specified upd file");
  ExpectRefused(Win("missing.upd"), "Cannot open specified upd file");
  ExpectRefused(Win(std::string(270, 'x') + ".upd"), "Cannot open specified upd file");
}

TEST_F(StartUpTest, LockedUpdateFileIsRefused) {
  WriteUpdate();
  std::unique_ptr<CFile> holder = OpenForReading(Native(updatePath_));
  Start(updatePath_);
  gui::MessageBoxInfo box = NextBox();
  EXPECT_EQ(box.text, "Cannot open specified upd file");
  EXPECT_EQ(box.icon, BoxIcon::exclamation);
  gui::AnswerMessageBox(box.window, IDOK);
  EXPECT_TRUE(process_.WaitForExit());
}

TEST_F(StartUpTest, NoPathAsksAndCancelGivesTheUsage) {
  Start("   ");
  HWND dialog = gui::WaitForWindow(process_.Id(), gui::IsFileDialog());
  EXPECT_EQ(gui::WindowCaption(dialog), "Select an Update File");
  gui::ClickButton(dialog, IDCANCEL);
  gui::MessageBoxInfo box = NextBox();
  EXPECT_EQ(box.text, "Usage: VARERI <filename>\n where <filename> must be an update file (upd)");
  EXPECT_EQ(box.icon, BoxIcon::hand);
  gui::AnswerMessageBox(box.window, IDOK);
  EXPECT_TRUE(process_.WaitForExit());
}

TEST_F(StartUpTest, TheOpenDialogOpensTheChosenFile) {
  WriteUpdate();
  Start("");
  HWND dialog = gui::WaitForWindow(process_.Id(), gui::IsFileDialog());
  gui::ChooseFile(dialog, updatePath_);
  Close(WaitForMain());
}

class RegistrationTest : public StartUpTest {
 protected:
  void SetUp() override {
    gui::RemoveRegistryKey(HKEY_CLASSES_ROOT, "VLR.Update");
    gui::RemoveRegistryKey(HKEY_CLASSES_ROOT, ".upd");
  }
  // Starts `exe` with no path and cancels, so that only registration has an effect.
  void StartAndCancel(const std::string& exe = Exe()) {
    Start("", exe);
    HWND dialog = gui::WaitForWindow(process_.Id(), gui::IsFileDialog());
    gui::ClickButton(dialog, IDCANCEL);
    gui::AnswerMessageBox(NextBox().window, IDOK);
    EXPECT_TRUE(process_.WaitForExit());
  }
  std::string Value(const std::string& key) {
    return gui::RegistryString(HKEY_CLASSES_ROOT, key, "").value_or("<missing>");
  }
};

TEST_F(RegistrationTest, WritesTheFourEntriesEvenWhenTheUserCancels) {
  StartAndCancel();
  EXPECT_EQ(Value("VLR.Update"), "Velloran Update File");
  EXPECT_EQ(Value("VLR.Update\\shell\\open\\command"), Exe() + " %1");
  EXPECT_EQ(Value("VLR.Update\\DefaultIcon"), Exe() + ",0");
  EXPECT_EQ(Value(".upd"), "VLR.Update");
}

TEST_F(RegistrationTest, KeepsAnotherAssociationReplacesAnEmptyOne) {
  gui::WriteRegistryString(HKEY_CLASSES_ROOT, ".upd", "", "Other.Type");
  StartAndCancel();
  EXPECT_EQ(Value(".upd"), "Other.Type");
  EXPECT_EQ(Value("VLR.Update"), "Velloran Update File");
  gui::WriteRegistryString(HKEY_CLASSES_ROOT, ".upd", "", "");
  StartAndCancel();
  EXPECT_EQ(Value(".upd"), "VLR.Update");
}

TEST_F(RegistrationTest, AMovedProgramRewritesItsCommand) {
  StartAndCancel();
  std::string moved = Win("Moved Here\\renamed.exe");
  std::filesystem::create_directories(Native(Win("Moved Here")));
  std::filesystem::copy_file(Native(Exe()), Native(moved));
  StartAndCancel(moved);
  EXPECT_EQ(Value("VLR.Update\\shell\\open\\command"), moved + " %1");
  EXPECT_EQ(Value("VLR.Update\\DefaultIcon"), moved + ",0");
}

TEST_F(StartUpTest, HeaderRefusals) {
  WriteUpdate([](DocumentPlan& plan) { plan.signature = "vlr.upd"; });
  ExpectRefused(updatePath_, "Selected file is not an Update File");
  WriteUpdate([](DocumentPlan& plan) { plan.fileType = 2; });
  ExpectRefused(updatePath_, "Selected file is not an Update File");
}

TEST_F(StartUpTest, UnsupportedFormatsOfferTheWebPage) {
  // A stand-in browser records the page the shell was asked to open.
  const char* recorder = std::getenv("VARERI_URL_RECORDER");
  ASSERT_NE(recorder, nullptr);
  std::string record = Win("opened.txt");
  std::string previous =
      gui::RegistryString(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "").value_or("");
  gui::WriteRegistryString(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "",
                           "\"" + gui::ToWindowsPath(recorder) + "\" \"" + record + "\" %1");
  struct Restore {
    std::string value;
    ~Restore() {
      gui::WriteRegistryString(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "", value);
    }
  } restore{previous};

  const struct {
    uint16_t format;
    const char* message;
    const char* question;
    const char* page;
  } cases[] = {
      {4, "Update file version not supported.\nYou may need a new update file from Velloran, Inc.",
       "Do you want to browse the WEB to Velloran Home Page", "http://www.velloran.com/"},
      {7, "Update file version not supported.\nYou may need a new version of this application",
       "Do you want to browse the WEB to get a new version of\nVelloran Update Application "
       "(VARERI or RERUDE32)",
       "http://www.velloran.com/utilities/"},
  };
  for (const auto& c : cases) {
    for (int answer : {IDNO, IDYES}) {
      std::filesystem::remove(Native(record));
      WriteUpdate([&](DocumentPlan& plan) { plan.formatVersion = c.format; });
      Start(updatePath_);
      gui::MessageBoxInfo first = NextBox();
      EXPECT_EQ(first.text, c.message);
      EXPECT_EQ(first.icon, BoxIcon::hand);
      gui::AnswerMessageBox(first.window, IDOK);
      gui::MessageBoxInfo second = NextBox();
      EXPECT_EQ(second.text, c.question);
      EXPECT_EQ(second.icon, BoxIcon::question);
      gui::AnswerMessageBox(second.window, answer);
      EXPECT_TRUE(process_.WaitForExit());
      if (answer == IDYES) {
        ASSERT_TRUE(gui::WaitUntil([&] { return Exists(record); }, 15000)) << c.format;
        std::ifstream in(Native(record));
        std::string opened((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(Contains(opened, c.page));
      } else {
        ::Sleep(500);
        EXPECT_FALSE(Exists(record)) << "No must open no page";
      }
    }
  }
}

TEST_F(StartUpTest, FormatSixTakesTheRegistryPathAsStored) {
  const std::string key = "Software\\Maker\\Demo\\1.1";
  auto format6 = [](DocumentPlan& plan) {
    plan.formatVersion = 6;
    plan.registryPath[0] = "Maker";
    plan.registryPath[1] = "Demo";
    plan.registryPath[2] = "1.1";
  };
  for (const char* stored : {"E:\\Programs\\Demo", "Programs\\NoDrive", ""}) {
    gui::WriteRegistryString(HKEY_LOCAL_MACHINE, key, "PathName", stored);
    WriteUpdate(format6);
    Start(updatePath_);
    HWND main = WaitForMain();
    EXPECT_EQ(gui::ControlText(main, IDC_PATH), stored);
    Close(main);
  }
  gui::RemoveRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Maker");
  WriteUpdate(format6);  // no key: the default directory by the drive rule
  Start(updatePath_);
  HWND main = WaitForMain();
  EXPECT_EQ(gui::ControlText(main, IDC_PATH), "C:\\DEMO");
  Close(main);
  // A format 5 file never looks in the registry.
  gui::WriteRegistryString(HKEY_LOCAL_MACHINE, key, "PathName", "E:\\Ignored");
  WriteUpdate([](DocumentPlan& plan) { plan.defaultDirectory = "D:"; });
  Start(updatePath_);
  main = WaitForMain();
  EXPECT_EQ(gui::ControlText(main, IDC_PATH), "D:");
  Close(main);
  gui::RemoveRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Maker");
}

TEST_F(StartUpTest, EmptyProductNameAndTruncatedHeader) {
  WriteUpdate([](DocumentPlan& plan) { plan.productName = ""; });
  Start(updatePath_);
  HWND main = WaitForMain();
  EXPECT_EQ(gui::WindowCaption(main), " Update");
  Close(main);

  // Cut inside the description: the reader fails after the checks; the error is reported
  // and the window opens with the template's caption and empty boxes.
  Bytes bytes = Installed(updatePath_);
  bytes.resize(20);
  Install(updatePath_, bytes);
  Start(updatePath_);
  gui::MessageBoxInfo box = NextBox();
  EXPECT_EQ(box.icon, BoxIcon::hand);
  EXPECT_TRUE(Contains(box.text, "ends unexpectedly"));
  gui::AnswerMessageBox(box.window, IDOK);
  main = WaitForMain();
  EXPECT_EQ(gui::WindowCaption(main), "Linavo 2.0.7 Update");
  EXPECT_EQ(gui::ControlText(main, IDC_PATH), "");
  Close(main);

  // A few bytes of text: the reader fails before any check is made.
  Install(updatePath_, Bytes{'h', 'i', '\n'});
  Start(updatePath_);
  box = NextBox();
  EXPECT_TRUE(Contains(box.text, "ends unexpectedly"));
  gui::AnswerMessageBox(box.window, IDOK);
  Close(WaitForMain());
}

}  // namespace
