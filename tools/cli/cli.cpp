#include "cli.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "clock.h"
#include "console_log.h"
#include "engine/update_error.h"
#include "entry_json.h"
#include "host.h"
#include "json_text.h"
#include "listing.h"
#include "model/paths.h"
#include "platform/exceptions.h"
#include "platform/system_directories.h"
#include "session/app_state.h"
#include "session/closing_message.h"
#include "session/header_check.h"
#include "session/install_dir.h"
#include "session/trust.h"
#include "vareri_version.h"

namespace {

const char kProgram[] = "vareri-cli";

#ifdef _WIN32
#define VARERI_CLI_DIRECTORY_HELP                                                       \
  "Without --dir, the installation directory is the one the window proposes: for a\n"   \
  "format 6 update file the PathName value under HKLM\\Software\\<its registry path>\n" \
  "when there is one, else the file's default directory, on drive C: when it names\n"   \
  "none. The Windows and system directories are the system's.\n"
#else
#define VARERI_CLI_DIRECTORY_HELP                                                        \
  "Without --dir, the installation directory is the update file's default directory,\n"  \
  "on drive C: when it names none. This build has no registry: the registry path of a\n" \
  "format 6 update file is not read. The Windows and system directories default to\n"    \
  "C:\\WINDOWS and C:\\WINDOWS\\SYSTEM. Paths are Windows paths; this build turns\n"     \
  "their backslashes into slashes, so C:\\APP is the directory C:/APP under the\n"       \
  "current one, and finds names in any case, as Windows does (quill.exe for\n"           \
  "QUILL.EXE), so it serves a mounted Windows volume or a Wine prefix.\n"
#endif

const char kHelp[] =
    "Usage: vareri-cli check FILE.upd [--dir DIR] [options]\n"
    "       vareri-cli update FILE.upd [--dir DIR] [--backup] [options]\n"
    "       vareri-cli list FILE.upd [--dir DIR] [options]\n"
    "\n"
    "Checks the installed files of a product against an update file, or updates them,\n"
    "without a window: the same runs, log lines and closing texts as vareri.exe.\n"
    "\n"
    "Commands:\n"
    "  check    inspect every selected file and say whether it can be updated\n"
    "  update   inspect every selected file; when none has an error, replace the older\n"
    "           ones (a file is never left half-written)\n"
    "  list     show the update's components and files, where they would be found and\n"
    "           which versions they replace, without looking at any installed file\n"
    "\n"
    "Options:\n"
    "  --dir DIR          the installation directory (default: see below)\n"
    "  --only NAME        select exactly the named components (repeatable)\n"
    "  --exclude NAME     leave the named component out (repeatable); with --only, out\n"
    "                     of those, else out of the update file's default selection\n"
    "  --backup           keep each replaced file's previous version under its backup\n"
    "                     name (last character replaced by '_': A.DLL -> A.DL_)\n"
    "  --windows-dir DIR  the Windows directory (default: see below)\n"
    "  --system-dir DIR   the system directory (default: see below)\n"
    "  --json             instead of the log lines and the closing text, print one JSON\n"
    "                     object per file entry and a summary object, one per line\n"
    "  --quiet            print nothing but errors; the exit status tells the rest\n"
    "  --log FILE         also append every line to FILE, with the date, time and time\n"
    "                     zone, the command line and the exit status\n"
    "  --key FILE         require the update file to be signed by the public key in FILE\n"
    "                     (a PEM public key, or the one-line text updpack keygen prints),\n"
    "                     instead of the key the product recorded, if any\n"
    "  -h, --help         show this help\n"
    "  --version          print the version\n"
    "\n"
    "Components are named by their component name, exactly as the update file spells\n"
    "it; an unknown name is an error before anything runs.\n"
    "\n"
    "An update file with an integrity record is checked against its digests before\n"
    "anything runs. When the product recorded its vendor's key (UpdateKey, beside\n"
    "PathName) or --key gives one, the file must be signed by that key. What was checked\n"
    "is said on standard error, and with --json in the summary's \"integrity\" object.\n"
    "\n"
    "With --json, each entry gives the installed file's version and size, the new ones,\n"
    "the versions the update accepts when the installed one is not among them, and the\n"
    "reason for an error; the summary gives the host, the start time, the duration and\n"
    "how many files the run changed (\"changed\"). An update that finds every file up to\n"
    "date already exits 0 and says on standard error that nothing was changed.\n"
    "\n"
    "Interrupted (Ctrl+C or Ctrl+Break; SIGINT or SIGTERM), a run finishes the file in\n"
    "hand, replaces no other, removes its temporary files and exits 3 if it replaced\n"
    "any file, else 2; a second interrupt ends it at once.\n"
    "\n" VARERI_CLI_DIRECTORY_HELP
    "\n"
    "Exit status:\n"
    "  0   everything is up to date, or was updated (list: the file was read)\n"
    "  1   check: files can be updated, and no error was found\n"
    "  2   errors were found, or the run was interrupted; nothing was changed\n"
    "  3   the update stopped part-way: some files were replaced\n"
    "  4   the update file could not be opened or read, is damaged, is not a supported\n"
    "      update file, or is not signed by the required key\n"
    "  64  wrong usage, an unknown component, or a log file that cannot be opened\n";

struct Options {
  bool help = false;
  bool version = false;
  bool doUpdate = false;
  bool list = false;
  std::string commandLine;  // as given, for the log
  std::string updatePath;
  std::string dir;
  std::string windowsDir;
  std::string systemDir;
  std::string logPath;
  std::string keyPath;
  bool dirGiven = false;
  bool windowsGiven = false;
  bool systemGiven = false;
  bool logGiven = false;
  bool keyGiven = false;
  bool backup = false;
  bool json = false;
  bool quiet = false;
  std::vector<std::string> only;
  std::vector<std::string> exclude;
};

// Fills `options` from the command line. Returns "" or what is wrong.
std::string ParseArguments(int argc, char** argv, Options* options) {
  std::string command;
  bool haveFile = false;
  bool optionsEnded = false;
  struct ValueOption {
    const char* name;
    std::string* value;
    bool* given;  // null: repeatable, collected in `list`
    std::vector<std::string>* list;
  };
  const ValueOption valueOptions[] = {
      {"--dir", &options->dir, &options->dirGiven, nullptr},
      {"--windows-dir", &options->windowsDir, &options->windowsGiven, nullptr},
      {"--system-dir", &options->systemDir, &options->systemGiven, nullptr},
      {"--log", &options->logPath, &options->logGiven, nullptr},
      {"--key", &options->keyPath, &options->keyGiven, nullptr},
      {"--only", nullptr, nullptr, &options->only},
      {"--exclude", nullptr, nullptr, &options->exclude},
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (command.empty()) {
        command = arg;
      } else if (!haveFile) {
        options->updatePath = arg;
        haveFile = true;
      } else {
        return "unexpected argument " + arg;
      }
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      options->help = true;
      return std::string();
    }
    if (arg == "--version") {
      options->version = true;
      return std::string();
    }
    std::string name = arg;
    std::string value;
    bool inlineValue = false;
    size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      inlineValue = true;
    }
    const struct {
      const char* name;
      bool* value;
    } flags[] = {
        {"--backup", &options->backup}, {"--json", &options->json}, {"--quiet", &options->quiet}};
    bool* flag = nullptr;
    for (const auto& candidate : flags) {
      if (name == candidate.name) flag = candidate.value;
    }
    if (flag) {
      if (inlineValue) return name + " takes no value";
      *flag = true;
      continue;
    }
    const ValueOption* option = nullptr;
    for (const ValueOption& candidate : valueOptions) {
      if (name == candidate.name) option = &candidate;
    }
    if (!option) return "unknown option " + arg;
    if (!inlineValue) {
      if (++i >= argc || !argv[i]) return name + " needs a value";
      value = argv[i];
    }
    if (value.empty()) return name + " needs a value";
    if (option->list) {
      option->list->push_back(value);
      continue;
    }
    if (*option->given) return name + " is given twice";
    *option->given = true;
    *option->value = value;
  }
  if (command.empty()) return "no command given (check, update or list)";
  if (command != "check" && command != "update" && command != "list") {
    return "unknown command " + command;
  }
  if (!haveFile) return command + " needs an update file";
  options->doUpdate = command == "update";
  options->list = command == "list";
  if (options->backup && !options->doUpdate) return "--backup is only for update";
  // Paths of 256 characters and more are refused, never cut (a cut path names another
  // directory).
  for (const ValueOption& option : valueOptions) {
    if (option.value && option.value != &options->logPath && option.value != &options->keyPath &&
        option.value->size() >= kPathSize) {
      return std::string(option.name) + " is longer than 255 characters";
    }
  }
  return std::string();
}

// What the load checked, for the summary on the error stream; "" for a file without an
// integrity record, which runs as it always has.
std::string IntegrityText(const IntegrityOutcome& integrity) {
  if (!integrity.recordPresent) return std::string();
  std::string text = "the update file matches the digests of its integrity record; ";
  if (!integrity.isSigned) return text + "it is not signed";
  text += "it is signed by key " + integrity.signer.Hex();
  return text + (integrity.signatureVerified ? ", signature verified"
                                             : ", not checked (no key recorded or given)");
}

// The command line as one line of text, each argument with a blank or a quote in quotes.
std::string CommandLineText(int argc, char** argv) {
  std::string text = kProgram;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    bool quoted = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
    text += quoted ? " \"" + arg + "\"" : " " + arg;
  }
  return text;
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Session {
 public:
  Session(const Options& options, std::ostream& out, std::ostream& err, Env& env,
          std::ostream* logFile)
      : options_(options),
        out_(out),
        err_(err),
        env_(env),
        log_(options.json || options.quiet ? nullptr : &out, logFile),
        started_(std::time(nullptr)),
        clock_(std::chrono::steady_clock::now()) {
    app_.env = &env_;
    app_.log = &log_;
    app_.stopRequested = &interrupt_.requested();
  }

  int Execute() {
    log_.Note(options_.commandLine);
    int status = Prepare();
    if (status < 0 && interrupt_.requested()) {
      status = Refuse(kExitErrors, "interrupted before any file was looked at");
    }
    if (status < 0) status = options_.list ? List() : RunAndReport();
    log_.Note("exit status " + std::to_string(status));
    return status;
  }

 private:
  // Opens and loads the update file, applies the options. Returns -1 to go on, else the
  // exit status after reporting why not.
  int Prepare() {
    try {
      if (options_.updatePath.size() >= sizeof app_.updateFilePath) {
        return Refuse(kExitUnreadable,
                      "Cannot open specified upd file: the path is longer "
                      "than 259 characters");
      }
      std::snprintf(app_.updateFilePath, sizeof app_.updateFilePath, "%s",
                    options_.updatePath.c_str());
      try {
        app_.updateFile = OpenForReading(app_.updateFilePath);
      } catch (const CFileException& e) {
        return Refuse(kExitUnreadable, std::string("Cannot open specified upd file: ") + e.what());
      }
      UpdateHeader header;
      HeaderRefusal refusal = ReadUpdateHeader(*app_.updateFile, &header);
      if (refusal != HeaderRefusal::none) {
        return Refuse(kExitUnreadable, options_.updatePath + ": " + RefusalMessage(refusal));
      }
      app_.productName = header.productName;
      app_.failureMessage = header.failureMessage;
      app_.document.trust = RecordedTrust(header);
      if (options_.keyGiven) {
        std::ifstream key(options_.keyPath, std::ios::binary);
        if (!ReadKeyFile(key, options_.keyPath, &app_.document.trust)) {
          return Refuse(kExitUsage, "cannot read the key file " + options_.keyPath);
        }
      }
      app_.document.EnsureLoaded(*app_.updateFile);

      int status = Select();
      if (status >= 0) return status;
      app_.document.renamePrevious = options_.backup;

      SystemDirectories host = ReadSystemDirectories();
      std::string windows = options_.windowsGiven ? options_.windowsDir : host.windows;
      std::string system = options_.systemGiven ? options_.systemDir : host.system;
      installDir_ = options_.dirGiven ? options_.dir : ProposeInstallDir(header);
      if (installDir_.size() >= sizeof app_.installDir) {
        return Refuse(kExitUnreadable, "the proposed installation directory (" + installDir_ +
                                           ") is longer than 255 characters; give one with --dir");
      }
      std::snprintf(app_.installDir, sizeof app_.installDir, "%s", installDir_.c_str());
      std::snprintf(app_.windowsDir, sizeof app_.windowsDir, "%s", windows.c_str());
      std::snprintf(app_.systemDir, sizeof app_.systemDir, "%s", system.c_str());
      log_.Note("installation directory " + installDir_);
    } catch (const CException& e) {
      return Refuse(kExitUnreadable, options_.updatePath + ": " + e.what());
    } catch (const std::bad_alloc&) {
      return Refuse(kExitUnreadable, options_.updatePath + ": " + CMemoryException().what());
    }
    return -1;
  }

  // Applies --only and --exclude. Returns -1, or kExitUsage for an unknown name.
  int Select() {
    std::set<std::string> known;
    std::string listed;
    for (const auto& item : app_.document.items) {
      if (known.insert(item->componentName).second) {
        listed += (listed.empty() ? "" : ", ") + item->componentName;
      }
    }
    for (const auto* names : {&options_.only, &options_.exclude}) {
      for (const std::string& name : *names) {
        if (known.count(name) == 0) {
          return Refuse(kExitUsage, "unknown component " + name + " (the update file has: " +
                                        (listed.empty() ? "none" : listed) + ")");
        }
      }
    }
    std::set<std::string> only(options_.only.begin(), options_.only.end());
    std::set<std::string> exclude(options_.exclude.begin(), options_.exclude.end());
    for (const auto& item : app_.document.items) {
      if (!only.empty()) item->selected = only.count(item->componentName) != 0;
      if (exclude.count(item->componentName)) item->selected = false;
    }
    return -1;
  }

  // The summary object of --json with what every summary says; the caller adds the rest.
  JsonObject Summary() const {
    JsonObject summary;
    summary.Add("type", "summary")
        .Add("command", options_.list       ? "list"
                        : options_.doUpdate ? "update"
                                            : "check")
        .Add("file", options_.updatePath)
        .Add("host", HostName())
        .Add("started", IsoTimestamp(started_));
    return summary;
  }

  long ElapsedMs() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - clock_)
                                 .count());
  }

  // Reports a failure before any run: a message on `err`, the log file, and the summary
  // object for --json. Returns `status`.
  int Refuse(int status, const std::string& message) {
    err_ << kProgram << ": " << message << '\n' << std::flush;
    log_.Note("error: " + message);
    if (options_.json) {
      JsonObject summary = Summary();
      summary.Add("changed", 0)
          .Add("error", message)
          .Add("durationMs", ElapsedMs())
          .Add("exitCode", status);
      out_ << summary.Text() << '\n' << std::flush;
    }
    return status;
  }

  // Information on the error stream and in the log file, unless --quiet.
  void Inform(const std::string& text) {
    if (!options_.quiet) err_ << kProgram << ": " << text << '\n';
    log_.Note(text);
  }

  int List() {
    if (options_.json) {
      PrintListingJson(app_, out_);
      JsonObject summary = Summary();
      summary.Add("product", app_.productName)
          .Add("directory", installDir_)
          .Add("entries", static_cast<long>(app_.document.items.size()))
          .Add("changed", 0)
          .Add("durationMs", ElapsedMs())
          .Add("exitCode", kExitUpToDate);
      out_ << summary.Text() << '\n' << std::flush;
    } else if (!options_.quiet) {
      PrintListing(app_, out_);
    }
    return kExitUpToDate;
  }

  int RunAndReport() {
    bool doUpdate = options_.doUpdate;
    app_.runOk = true;
    app_.updateNeeded = false;
    std::string raised;
    try {
      app_.document.Run(*app_.updateFile, doUpdate, app_);
    } catch (const CException& e) {
      raised = e.what();
    } catch (const std::bad_alloc&) {
      raised = CMemoryException().what();
    }

    const RunRecord& record = app_.record;
    size_t errors = record.Errors();
    size_t changed = record.Changed();
    bool underInstallDir = false;  // an entry under the installation directory failed
    for (size_t k = 0; k < record.entries.size(); ++k) {
      uint16_t kind = app_.document.items[k]->directoryKind;
      if (record.entries[k].error != none && (kind == kindInstallation || kind == kindSystem)) {
        underInstallDir = true;
      }
    }

    int status;
    if (!raised.empty() || !app_.runOk) {
      status = doUpdate && changed ? kExitPartial : kExitErrors;
    } else {
      status = !doUpdate && app_.updateNeeded ? kExitUpdatable : kExitUpToDate;
    }

    std::string closing;
    if (raised.empty()) {
      closing = MakeClosingMessage(app_.productName, app_.failureMessage, doUpdate, app_.runOk,
                                   app_.updateNeeded)
                    .text;
    }
    if (options_.json) {
      PrintJson(closing, raised, status);
    } else if (raised.empty() && !options_.quiet) {
      out_ << closing << '\n' << std::flush;
    }
    if (raised.empty()) log_.Note(closing);

    // What went wrong, on the error stream: the run's end, then each entry's reason.
    std::vector<std::string> problems;
    if (!raised.empty()) problems.push_back(raised);
    if (record.cancelled) {
      problems.push_back(!doUpdate ? "interrupted: the check did not finish"
                         : changed ? "interrupted: " + Plural(changed, "file was", "files were") +
                                         " replaced, no other was touched"
                                   : "interrupted: no file was changed");
    } else if (status == kExitPartial) {
      problems.push_back("the update stopped part-way: " +
                         Plural(record.Replaced(), "file was", "files were") + " replaced");
    } else if (status == kExitErrors) {
      std::string found = Plural(errors, "error", "errors");
      if (errors == 0 && !raised.empty()) found = "an error";
      problems.push_back(doUpdate ? "the update found " + found + "; no file was changed"
                                  : "the check found " + found);
      if (underInstallDir && !IsDirectory(installDir_)) {
        problems.push_back("the installation directory " + installDir_ +
                           " does not exist or cannot be read" +
                           (options_.dirGiven ? "" : "; give it with --dir"));
      }
    }
    for (size_t k = 0; k < record.entries.size(); ++k) {
      std::string why = EntryCauseText(record.entries[k]);
      if (!why.empty())
        problems.push_back(std::string(app_.document.items[k]->targetPath) + ": " + why);
    }
    std::string checked = IntegrityText(app_.document.integrity);
    if (!checked.empty()) Inform(checked);
    if (doUpdate && status == kExitUpToDate && changed == 0) {
      Inform("nothing was changed: every selected file was up to date already");
    }
    for (const std::string& problem : problems) {
      err_ << kProgram << ": " << problem << '\n';
      log_.Note("error: " + problem);
    }
    err_ << std::flush;
    if (log_.fileFailed()) err_ << kProgram << ": writing the log file failed\n" << std::flush;
    return status;
  }

  void PrintJson(const std::string& closing, const std::string& raised, int status) {
    const RunRecord& record = app_.record;
    for (size_t k = 0; k < record.entries.size(); ++k) {
      out_ << EntryJson(*app_.document.items[k], k + 1, record.entries[k], options_.doUpdate)
           << '\n';
    }
    JsonObject summary = Summary();
    summary.Add("product", app_.productName)
        .Add("directory", installDir_)
        .Add("ok", raised.empty() && app_.runOk)
        .Add("updateNeeded", app_.updateNeeded)
        .Add("entries", static_cast<long>(record.entries.size()))
        .Add("errors", static_cast<long>(record.Errors()));
    if (options_.doUpdate) summary.Add("updated", static_cast<long>(record.Replaced()));
    summary.Add("changed", static_cast<long>(record.Changed()));
    if (record.cancelled) summary.Add("interrupted", true);
    const IntegrityOutcome& integrity = app_.document.integrity;
    if (integrity.recordPresent) {
      JsonObject checked;
      checked.Add("record", true).Add("digestsChecked", true).Add("signed", integrity.isSigned);
      if (integrity.isSigned) {
        checked.Add("keyId", integrity.signer.Hex());
      } else {
        checked.AddNull("keyId");
      }
      checked.Add("signatureVerified", integrity.signatureVerified);
      summary.AddRaw("integrity", checked.Text());
    }
    if (raised.empty()) {
      summary.Add("text", closing);
    } else {
      summary.AddNull("text").Add("error", raised);
    }
    summary.Add("durationMs", ElapsedMs()).Add("exitCode", status);
    out_ << summary.Text() << '\n' << std::flush;
  }

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
  Env& env_;
  ConsoleLog log_;
  AppState app_;
  std::string installDir_;
  InterruptGuard interrupt_;
  std::time_t started_;
  std::chrono::steady_clock::time_point clock_;
};

}  // namespace

const char* CliHelpText() { return kHelp; }

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, Env& env) {
  Options options;
  std::string problem = ParseArguments(argc, argv, &options);
  options.commandLine = CommandLineText(argc, argv);
  if (options.help) {
    out << kHelp << std::flush;
    return kExitUpToDate;
  }
  if (options.version) {
    out << kProgram << " " << VARERI_VERSION << "\n" << std::flush;
    return kExitUpToDate;
  }
  if (!problem.empty()) {
    err << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'.\n" << std::flush;
    return kExitUsage;
  }
  std::unique_ptr<std::ofstream> logFile;
  if (options.logGiven) {
    logFile = std::make_unique<std::ofstream>(options.logPath, std::ios::app);
    if (!*logFile) {
      err << kProgram << ": cannot open the log file " << options.logPath << " for appending\n"
          << std::flush;
      return kExitUsage;
    }
  }
  Session session(options, out, err, env, logFile.get());
  return session.Execute();
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
  return RunCli(argc, argv, out, err, Env::Default());
}
