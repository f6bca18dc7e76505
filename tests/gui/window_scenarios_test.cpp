// The scenarios applied through the real window: Path, Options, Check or Update, and the
// lines of the log and the closing message as the user sees them.
#include "scenarios/scenario_suite.h"
#include "vareri_fixture.h"

namespace {

class WindowRunner {
 public:
  explicit WindowRunner(const EngineTest& test) : test_(test) {}

  RunOutcome Run(const RunRequest& request, const std::string& updatePath) {
    std::vector<std::string> components = Components(updatePath);
    std::string exe = VareriExe();
    gui::Process process = gui::Process::Start(exe, "\"" + exe + "\" " + updatePath);
    HWND main = gui::WaitForWindow(process.Id(), IsMainWindow());
    if (!request.proposedDirectory) gui::SetEditText(main, IDC_PATH, test_.app().installDir);
    if (request.backup || !request.leaveOut.empty()) {
      gui::ClickButton(main, IDC_OPTIONS);
      HWND options = gui::WaitForWindow(process.Id(), gui::CaptionIs("Update Options"));
      for (const std::string& name : request.leaveOut) {
        int row = static_cast<int>(std::find(components.begin(), components.end(), name) -
                                   components.begin());
        gui::PostClick(gui::Control(options, IDC_COMPONENTS), RowStrip(options, row));
        EXPECT_TRUE(gui::WaitUntil([&] { return !RowCrossed(options, row); })) << name;
      }
      if (request.backup) gui::ClickButton(options, IDC_RENAME);
      gui::ClickButton(options, IDOK);
      EXPECT_TRUE(gui::WaitForWindowGone(options));
    }
    gui::ClickButton(main, request.doUpdate ? IDC_UPDATE : IDC_CHECK);
    gui::MessageBoxInfo box = gui::ReadMessageBox(gui::WaitForMessageBox(process.Id(), 60000));
    RunOutcome outcome;
    outcome.closing = box.text;
    outcome.lines = gui::ListBoxLines(gui::Control(main, IDC_LOG));
    gui::AnswerMessageBox(box.window, IDOK);
    gui::ClickButton(main, IDCANCEL);
    EXPECT_TRUE(process.WaitForExit());
    return outcome;
  }

 private:
  static std::string VareriExe() {
    const char* exe = std::getenv("VARERI_EXE");
    if (!exe) throw gui::DriverError("VARERI_EXE does not say where vareri.exe is");
    return gui::ToWindowsPath(exe);
  }
  // The component names in row order, read before the program locks the file.
  static std::vector<std::string> Components(const std::string& updatePath) {
    std::unique_ptr<CFile> file = OpenForReading(updatePath);
    VEzorazEdo doc;
    doc.EnsureLoaded(*file);
    std::vector<std::string> names;
    for (const auto& item : doc.items) names.push_back(item->componentName);
    return names;
  }

  const EngineTest& test_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Window, ScenarioTest, WindowRunner);
