// demo_driver: opens an update in the real vareri.exe, for `make demo` (scripts/demo.sh) and
// for trying any update file (scripts/try-update.sh). For the demo it first records the demo
// product's installation directory and its vendor's public key in the registry, as the
// product's installer would, where the window looks for them. Then, on a virtual screen, it
// works the window as a user would: Check, Options (every component selected, "Rename
// previous versions" on), Update, Close, printing every log line and closing message and
// saving screenshots. --check-only does Check and Close alone and never updates. With --watch
// it only starts the window for the user at a real display and prints the same while they
// work it. Exit status: 0 when every step went as it should (for the demo, as a successful
// update goes), 1 otherwise, 2 for wrong usage.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "resources/resource.h"
#include "vareri_windows.h"

namespace {

const char kUsage[] =
    "Usage: demo_driver --vareri EXE --update FILE.upd --product NAME --registry-key KEY\n"
    "                   --install-dir DIR [--update-key TEXT] [--screenshots DIR] [--watch]\n"
    "       demo_driver --vareri EXE --update FILE.upd --check-only [--path DIR]\n"
    "                   [--screenshots DIR]\n"
    "       demo_driver --vareri EXE --update FILE.upd --watch\n"
    "  KEY is under HKEY_LOCAL_MACHINE (Software\\Maker\\Product\\Version); its PathName\n"
    "  is set to DIR before the window opens. --path DIR is typed into the Path box before\n"
    "  Check. Paths may be Unix or Windows paths.\n";

// How long the program may take to show a window or finish a run.
const DWORD kWindowTimeoutMs = 30000;
const DWORD kRunTimeoutMs = 60000;

struct Options {
  std::string vareri, update, product, registryKey, installDir, updateKey, screenshots, path;
  bool watch = false;
  bool checkOnly = false;
};

void Say(const std::string& line) { std::printf("%s\n", line.c_str()); }

void PrintLog(HWND main) {
  for (const std::string& line : gui::ListBoxLines(gui::Control(main, IDC_LOG))) {
    Say("  " + line);
  }
}

class Demo {
 public:
  explicit Demo(const Options& options) : options_(options) {}

  // Starts vareri.exe on the update file and returns its main window.
  HWND Open() {
    if (!options_.registryKey.empty()) {
      gui::WriteRegistryString(HKEY_LOCAL_MACHINE, options_.registryKey, "PathName",
                               options_.installDir);
      if (!options_.updateKey.empty()) {
        gui::WriteRegistryString(HKEY_LOCAL_MACHINE, options_.registryKey, "UpdateKey",
                                 options_.updateKey);
      }
    }
    std::string exe = gui::ToWindowsPath(options_.vareri);
    // The whole rest of the command line is the update file's path, without quotes.
    process_ = gui::Process::Start(exe, "\"" + exe + "\" " + gui::ToWindowsPath(options_.update));
    Say("vareri.exe " + gui::ToWindowsPath(options_.update));
    // A file the program refuses gets a message box instead of the window.
    gui::WindowMatch opened{"the main window or a message box", [](HWND window) {
                              return IsMainWindow().test(window) ||
                                     gui::IsMessageBox().test(window);
                            }};
    HWND first = gui::WaitForWindow(process_.Id(), opened, kWindowTimeoutMs);
    if (!IsMainWindow().test(first)) {
      std::string text = gui::MessageBoxText(first);
      Screenshot(first, "1-refused");
      gui::AnswerMessageBox(first, IDOK);
      process_.WaitForExit();
      throw gui::DriverError("vareri.exe refused the file: " + text);
    }
    HWND main = first;
    Say("Path: " + gui::ControlText(main, IDC_PATH) +
        (options_.registryKey.empty() ? "" : " (from HKLM\\" + options_.registryKey + ")"));
    if (!options_.updateKey.empty()) {
      Say("UpdateKey: " + options_.updateKey + " (the update must be signed with it)");
    }
    return main;
  }

  // Check, Options and Update, as a user would click them. Returns true when each closing
  // message is the one a successful update gives.
  bool Drive() {
    HWND main = Open();
    Screenshot(main, "1-main-window");
    bool ok = true;

    Say("");
    Say("> Check");
    std::string checked = Run(main, IDC_CHECK, "2-check-message");
    Screenshot(main, "3-main-after-check");
    Say(checked);
    ok = Expect(checked, options_.product + " can be sucessfully updated") && ok;

    Say("");
    Say("> Options");
    SelectEverything(main);

    Say("");
    Say("> Update");
    std::string updated = Run(main, IDC_UPDATE, "5-update-message");
    Screenshot(main, "6-main-after-update");
    gui::ClickButton(main, IDCANCEL);  // now labelled Close
    if (!process_.WaitForExit()) throw gui::DriverError("vareri.exe did not end on Close");
    ok = Expect(updated, options_.product + " was sucessfully updated") && ok;
    Say(updated);
    return ok;
  }

  // Check alone, then Close: what the window says of the update, changing nothing.
  void CheckOnly() {
    HWND main = Open();
    TypePath(main);
    Screenshot(main, "1-main-window");
    Say("");
    Say("> Check");
    std::string checked = Run(main, IDC_CHECK, "2-check-message");
    Screenshot(main, "3-main-after-check");
    Say(checked);
    gui::ClickButton(main, IDCANCEL);
    if (!process_.WaitForExit()) throw gui::DriverError("vareri.exe did not end on Cancel");
  }

  // Starts the window for the user and prints the log and closing message of each run
  // until the program ends.
  void Watch() {
    HWND main = Open();
    TypePath(main);
    Say("(the window is yours: Check, Options, Update; close it to end)");
    HWND seen = nullptr;
    while (!process_.WaitForExit(200)) {
      HWND box = gui::FindTopWindow(process_.Id(), gui::IsMessageBox());
      if (!box) seen = nullptr;
      if (!box || box == seen) continue;
      seen = box;
      try {
        std::string text = gui::MessageBoxText(box);
        Say("");
        if (::IsWindow(main)) PrintLog(main);
        Say(text);
      } catch (const gui::DriverError&) {
        // The box or the window went away while it was read: the user was quicker.
      }
    }
  }

 private:
  // --path into the Path box, when it was given.
  void TypePath(HWND main) {
    if (options_.path.empty()) return;
    gui::SetEditText(main, IDC_PATH, options_.path);
    Say("Path: " + options_.path + " (typed in)");
  }

  // Clicks `button` (Check or Update), prints the log once the closing message is up,
  // answers it and returns its text.
  std::string Run(HWND main, int button, const std::string& shot) {
    gui::ClickButton(main, button);
    HWND box = gui::WaitForMessageBox(process_.Id(), kRunTimeoutMs);
    std::string text = gui::MessageBoxText(box);
    PrintLog(main);
    Screenshot(box, shot);
    gui::AnswerMessageBox(box, IDOK);
    return text;
  }

  // In the options dialog: crosses every row left out by default (a press in the row's left
  // strip selects and flips it) and turns renaming on.
  void SelectEverything(HWND main) {
    gui::ClickButton(main, IDC_OPTIONS);
    HWND options = gui::WaitForWindow(process_.Id(), gui::CaptionIs("Update Options"));
    HWND list = gui::WaitForControl(options, IDC_COMPONENTS);
    int rows = gui::ListBoxCount(list);
    for (int row = 0; row < rows; ++row) {
      if (RowCrossed(options, row)) continue;
      gui::PostClick(list, RowStrip(options, row));
      if (!gui::WaitUntil([&] { return RowCrossed(options, row); })) {
        throw gui::DriverError("row " + std::to_string(row + 1) + " of the options never crossed");
      }
      Say("  selected row " + std::to_string(row + 1) + ": " +
          gui::ControlText(options, IDC_COMPONENT_DESCRIPTION));
    }
    HWND rename = gui::Control(options, IDC_RENAME);
    gui::ClickUntil(rename, [&] {
      DWORD_PTR state = 0;
      ::SendMessageTimeoutA(rename, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, gui::kMessageTimeoutMs,
                            &state);
      return state == BST_CHECKED;
    });
    std::string label = gui::ControlText(options, IDC_RENAME);
    label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
    Say("  " + label + ": on");
    Screenshot(options, "4-options");
    gui::ClickButton(options, IDOK);
    if (!gui::WaitForWindowGone(options)) throw gui::DriverError("the options stayed open on OK");
  }

  bool Expect(const std::string& got, const std::string& wanted) {
    if (got == wanted) return true;
    std::fprintf(stderr, "demo_driver: the closing message was \"%s\", not \"%s\"\n", got.c_str(),
                 wanted.c_str());
    return false;
  }

  void Screenshot(HWND window, const std::string& name) {
    if (options_.screenshots.empty()) return;
    ::Sleep(300);  // let the window finish painting
    gui::SaveScreenshot(window, gui::ToWindowsPath(options_.screenshots) + "\\" + name + ".bmp");
  }

  const Options& options_;
  gui::Process process_;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "demo_driver: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Lines reach the terminal at once and end in "\n" alone, as Unix tools' lines do.
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  Options options;
  struct Field {
    const char* flag;
    std::string* value;
  } fields[] = {{"--vareri", &options.vareri},           {"--update", &options.update},
                {"--product", &options.product},         {"--registry-key", &options.registryKey},
                {"--install-dir", &options.installDir},  {"--update-key", &options.updateKey},
                {"--screenshots", &options.screenshots}, {"--path", &options.path}};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--watch") == 0 || std::strcmp(argv[i], "--check-only") == 0) {
      (argv[i][2] == 'w' ? options.watch : options.checkOnly) = true;
      continue;
    }
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    bool known = false;
    for (const Field& field : fields) {
      if (std::strcmp(argv[i], field.flag) != 0) continue;
      if (++i >= argc) return Usage(std::string(field.flag) + " needs a value");
      *field.value = argv[i];
      known = true;
      break;
    }
    if (!known) return Usage(std::string("unknown argument ") + argv[i]);
  }
  // The demo needs all it records; trying a file, or watching, only the program and file.
  bool demo = !options.watch && !options.checkOnly;
  for (const Field& field : fields) {
    bool needed = field.value == &options.vareri || field.value == &options.update ||
                  (demo && field.value != &options.screenshots &&
                   field.value != &options.updateKey && field.value != &options.path);
    if (needed && field.value->empty()) return Usage(std::string(field.flag) + " is missing");
  }
  if (!options.registryKey.empty() == options.installDir.empty()) {
    return Usage("--registry-key and --install-dir go together");
  }
  try {
    Demo run(options);
    if (options.watch) {
      run.Watch();
      return 0;
    }
    if (options.checkOnly) {
      run.CheckOnly();
      return 0;
    }
    return run.Drive() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo_driver: %s\n", e.what());
    return 1;
  }
}
