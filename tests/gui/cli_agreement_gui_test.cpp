// The same update applied by the window and by vareri-cli: the same lines, the same files.
#include "cli/cli_in_process.h"
#include "vareri_fixture.h"

namespace {

class CliAgreementTest : public VareriGuiTest {};

TEST_F(CliAgreementTest, WindowAndCliGiveTheSameLinesAndFiles) {
  Bytes oldA = MakeProgram(kV10, 1, 20000, 1), newA = MakeProgram(kV11, 0, 21000, 2);
  Bytes oldS = MakeProgram(kV10, 0, 6000, 3), newS = MakeProgram(kV11, 0, 6500, 4);
  Bytes current = MakeProgram(kV11, 0, 4000, 5);
  // Two copies of the same installation: one for the window, one for the cli.
  for (const char* dir : {"WINDOW", "CLI"}) {
    std::string root = std::string(dir) + "\\";
    Install(Win(root + "A.DLL"), oldA);
    Install(Win(root + "system\\S.DLL"), oldS);  // found through the kindSystem fallback
    Install(Win(root + "C.DLL"), current);
  }
  EntryPlan a("A.DLL");
  a.newBytes = newA;
  a.previous = {oldA};
  EntryPlan s("S.DLL", 1);
  s.newBytes = newS;
  s.previous = {oldS};
  EntryPlan c("C.DLL");
  c.newBytes = current;
  Build({a, s, c});
  app_.updateFile.reset();

  Start(updatePath_);
  HWND main = WaitForMain();
  gui::SetEditText(main, IDC_PATH, Win("WINDOW"));
  gui::AnswerMessageBox(ClickForBox(main, IDC_UPDATE).window, IDOK);
  std::vector<std::string> window = gui::ListBoxLines(gui::Control(main, IDC_LOG));
  Close(main);

  std::string dir = Win("CLI");
  std::string systemDir = app_.systemDir;
  CliOutput run = RunCliInProcess({"update", updatePath_, "--dir", dir, "--system-dir", systemDir});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> cli = SplitLines(run.out);
  ASSERT_EQ(cli.size(), window.size() + 1);  // the cli adds the closing text
  EXPECT_EQ(cli.back(), "Demo was sucessfully updated");
  for (size_t i = 0; i < window.size(); ++i) {
    std::string expected = window[i];
    size_t at = expected.find(Win("WINDOW"));
    ASSERT_NE(at, std::string::npos) << expected;
    expected.replace(at, Win("WINDOW").size(), dir);
    EXPECT_EQ(cli[i], expected);
  }
  for (const char* file : {"A.DLL", "system\\S.DLL", "C.DLL"}) {
    EXPECT_EQ(Installed(Win(std::string("WINDOW\\") + file)),
              Installed(Win(std::string("CLI\\") + file)))
        << file;
  }
  EXPECT_EQ(Installed(Win("CLI\\A.DLL")), newA);
  EXPECT_EQ(Installed(Win("CLI\\system\\S.DLL")), newS);
}

}  // namespace
