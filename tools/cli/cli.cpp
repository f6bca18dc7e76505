#include "cli.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cli_help.h"
#include "cli_options.h"
#include "cli_report.h"
#include "clock.h"
#include "console_log.h"
#include "given_key.h"
#include "host.h"
#include "listing.h"
#include "live_run.h"
#include "model/limits.h"
#include "platform/exceptions.h"
#include "platform/system_directories.h"
#include "progress_line.h"
#include "session/app_state.h"
#include "session/header_check.h"
#include "session/install_dir.h"
#include "session/run_request.h"
#include "session/trust.h"
#include "trust_command.h"
#include "vareri_version.h"

namespace {

// A script reads the output: a run whose output was lost (a full disk) has not told it what
// happened, which is an error of its own. Returns `status`, or kExitUsage after saying so.
int CheckOutput(std::ostream& out, std::ostream& err, int status) {
  if (out.flush()) return status;
  err << kCliProgram << ": cannot write the output (is the disk full?); exit status " << kExitUsage
      << " instead of " << status << '\n'
      << std::flush;
  return kExitUsage;
}

// Whether the command line asks for JSON, whether or not it could be read: --json (with a
// value too, which is wrong) before any "--".
bool AsksForJson(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
    if (args[i] == "--json" || args[i].rfind("--json=", 0) == 0) return true;
  }
  return false;
}

// The summary --json ends with for a command line refused before any session began.
void PrintUsageRefusal(std::ostream& out, JsonObject summary, const std::string& message,
                       const StartTime& start) {
  out << RefusalSummary(std::move(summary), message, start.ElapsedMs(), kExitUsage) << '\n'
      << std::flush;
}

class Session {
 public:
  Session(const CliOptions& options, std::ostream& out, std::ostream& err, Env& env,
          std::ostream* logFile, const StartTime& start, bool errIsTerminal)
      : options_(options),
        out_(out),
        err_(err),
        progress_(errIsTerminal && !options.quiet ? &err : nullptr),
        log_(options.json || options.quiet ? nullptr : &out, logFile, &progress_),
        live_(app_, options.doUpdate, options.json ? &out : nullptr, progress_),
        start_(start) {
    app_.env = &env;
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
    int checked = CheckOutput(out_, err_, status);
    if (checked != status) log_.Note("error: writing the output failed");
    status = checked;
    log_.Note("exit status " + std::to_string(status));
    return status;
  }

 private:
  // Opens and loads the update file, applies the options. Returns -1 to go on, else the
  // exit status after reporting why not.
  int Prepare() {
    try {
      if (options_.updatePath.size() >= sizeof app_.updateFilePath) {
        return Refuse(kExitUnreadable, "Cannot open specified upd file: the path is longer than " +
                                           std::to_string(kUpdateFilePathSize - 1) + " characters");
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
      app_.trustStore = TrustStoreOf(options_.trustStore);
      if (!options_.keyPath.empty()) {
        // One requirement more, never one less: a recorded key still binds.
        if (!ReadGivenKey(options_.keyPath, &app_.givenKey)) {
          return Refuse(kExitUsage, "cannot read the key file " + options_.keyPath);
        }
        // A listing has no run to decide: its load checks the key given.
        if (options_.list && !app_.document.trust.keyRequired) {
          app_.document.trust = app_.givenKey;
        }
      }
      app_.document.EnsureLoaded(*app_.updateFile);

      std::string unknown = SelectComponents(app_.document, options_.only, options_.exclude);
      if (!unknown.empty()) return Refuse(kExitUsage, unknown);
      app_.document.renamePrevious = options_.backup;

      SystemDirectories host = ReadSystemDirectories();
      std::string windows = options_.windowsDir.empty() ? host.windows : options_.windowsDir;
      std::string system = options_.systemDir.empty() ? host.system : options_.systemDir;
      installDir_ = options_.dir.empty() ? ProposeInstallDir(header) : options_.dir;
      if (!SetInstallDir(app_, installDir_)) {
        return Refuse(kExitUnreadable, "the proposed installation directory (" + installDir_ +
                                           ") is longer than " + std::to_string(kMaxPathLength) +
                                           " characters; give one with --dir");
      }
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

  // Reports a failure before any run: a message on `err`, the log file, and the summary
  // object for --json. Returns `status`.
  int Refuse(ExitStatus status, const std::string& message) {
    err_ << kCliProgram << ": " << message << '\n' << std::flush;
    log_.Note("error: " + message);
    if (options_.json) {
      out_ << RefusalSummary(SummaryStart(options_, start_.wall), message, start_.ElapsedMs(),
                             status)
           << '\n'
           << std::flush;
    }
    return status;
  }

  int List() {
    if (options_.json) {
      PrintListingJson(app_, out_);
      out_ << ListSummary(SummaryStart(options_, start_.wall), app_, installDir_,
                          start_.ElapsedMs())
           << '\n'
           << std::flush;
    } else if (!options_.quiet) {
      PrintListing(app_, out_);
    }
    return kExitUpToDate;
  }

  int RunAndReport() {
    RunEnd end;
    try {
      StartRun(app_, options_.doUpdate);
    } catch (const CTrustException& e) {
      // Refused before anything was opened, as the load refuses an untrusted file.
      return Refuse(kExitUnreadable, options_.updatePath + ": " + e.what());
    } catch (const CException& e) {
      end.raised = e.what();
    } catch (const std::bad_alloc&) {
      end.raised = CMemoryException().what();
    }
    live_.Finish();
    end.installDir = installDir_;
    end.summary = SummaryStart(options_, start_.wall);
    end.durationMs = start_.ElapsedMs();
    CliReport report = ReportRun(app_, options_, end);
    for (const std::string& line : report.out) out_ << line << '\n';
    out_ << std::flush;
    for (const std::string& note : report.notes) log_.Note(note);
    for (const std::string& line : report.err) err_ << kCliProgram << ": " << line << '\n';
    err_ << std::flush;
    if (log_.fileFailed()) err_ << kCliProgram << ": writing the log file failed\n" << std::flush;
    return report.status;
  }

  const CliOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  ProgressLine progress_;
  ConsoleLog log_;
  AppState app_;
  LiveRun live_;
  std::string installDir_;
  InterruptGuard interrupt_;
  const StartTime& start_;
};

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, Env& env,
           bool errIsTerminal) {
  StartTime start;
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? argv[i] : "");
  CliOptions options;
  std::string problem = ParseCliOptions(args, &options);
  options.commandLine = CommandLineText(args);
  if (options.help) {
    out << CliHelpText();
    return CheckOutput(out, err, kExitUpToDate);
  }
  if (options.version) {
    out << kCliProgram << " " << VARERI_VERSION << "\n";
    return CheckOutput(out, err, kExitUpToDate);
  }
  if (!problem.empty()) {
    err << kCliProgram << ": " << problem << "\nTry '" << kCliProgram << " --help'.\n"
        << std::flush;
    if (options.json || AsksForJson(args)) {
      PrintUsageRefusal(out, SummaryStart(start.wall), problem, start);
    }
    return kExitUsage;
  }
  std::unique_ptr<std::ofstream> logFile;
  if (!options.logPath.empty()) {
    logFile = std::make_unique<std::ofstream>(options.logPath, std::ios::app);
    if (!*logFile) {
      std::string message = "cannot open the log file " + options.logPath + " for appending";
      err << kCliProgram << ": " << message << '\n' << std::flush;
      if (options.json) PrintUsageRefusal(out, SummaryStart(options, start.wall), message, start);
      return kExitUsage;
    }
  }
  if (options.trust) return CheckOutput(out, err, RunTrustCommand(options, out, err));
  Session session(options, out, err, env, logFile.get(), start, errIsTerminal);
  return session.Execute();
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
  return RunCli(argc, argv, out, err, Env::Default());
}
