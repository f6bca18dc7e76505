// The real vareri-cli: killed or interrupted while it replaces a large file, and started
// from a script.
#include "cli_program.h"

#include <cstdlib>
#include <filesystem>

#include "cli_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

#if defined(_WIN32) && defined(VARERI_CLI_EXE)
// The real program ended by TerminateProcess at moments spread over the replacement of a
// large file, with renaming on: the installed name always holds a whole file, and the next
// run removes what the killed one left and finishes.
TEST_F(CliTest, KilledMidReplacementLeavesWholeFilesAndTheNextRunFinishes) {
  BuildProduct(nullptr, 24 << 20);
  std::string command = "\"" + CliProgramPath() + "\" update \"" + updatePath_ +
                        "\" --backup --dir \"" + Win("APP") + "\" --windows-dir \"" + Win("WIN") +
                        "\"";
  int midway = 0;
  for (DWORD delay : {0, 40, 120, 200, 260, 320, 400}) {
    Install(Win("APP\\A.DLL"), oldA_);
    Install(Win("APP\\A.DL_"), Bytes{'e'});  // an earlier backup
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, &std::string(command)[0], nullptr, nullptr, FALSE,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &process));
    // Counted from the moment the new version is being made.
    while (!Exists(Win("APP\\A.DLL~UPD")) && WaitForSingleObject(process.hProcess, 1)) {
    }
    if (WaitForSingleObject(process.hProcess, delay) == WAIT_TIMEOUT) {
      midway += TerminateProcess(process.hProcess, 137);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string trial = "killed " + std::to_string(delay) + " ms in: ";
    Bytes now = Installed(Win("APP\\A.DLL"));
    Bytes backup = Installed(Win("APP\\A.DL_"));
    EXPECT_TRUE(now == newA_ ? backup == oldA_ : now == oldA_ && backup.size() < 2) << trial;
    Outcome next = Cli(Args("update", {"--backup"}));
    EXPECT_EQ(next.status, kExitUpToDate) << trial << next.err;
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_) << trial;
    EXPECT_EQ(Installed(Win("APP\\A.DL_")), oldA_) << trial;
    EXPECT_TRUE(Leftovers().empty()) << trial;
  }
  EXPECT_GT(midway, 2) << "the kills came after the update had finished";
}
#endif

#ifdef VARERI_CLI_EXE
// The real program interrupted while it makes a large new version (SIGTERM; Ctrl+C on
// Windows): it finishes that file and stops before the next, having put none in place, so
// it changes no installed file, leaves no temporary file and exits 2; the next run finishes.
TEST_F(CliTest, InterruptedWhileNewVersionsAreMadeChangesNothingAndTheNextRunFinishes) {
  BuildProduct(nullptr, 24 << 20);
  // Interrupted once the new version has its first bytes (the check's probe has none).
  auto replacing = [&] {
    std::error_code ec;
    uintmax_t size = fs::file_size(Native(Win("APP\\A.DLL~UPD")), ec);
    return !ec && size > 0;
  };
  Lines args =
      Concat({CliProgramPath()}, Args("update", {"--backup", "--only=Program", "--only=Help"}));
#ifdef _WIN32
  std::string command;
  for (const std::string& arg : args) command += "\"" + arg + "\" ";
  // Ctrl+C reaches the processes of a console: the program gets one of its own, which this
  // test joins to press it (ignoring it itself). Its output goes to NUL, as natively to
  // /dev/null: Wine's console without a screen refuses writes, which would fail the run.
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError =
      CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  PROCESS_INFORMATION process;
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                             nullptr, nullptr, &startup, &process));
  CloseHandle(startup.hStdOutput);
  while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && !replacing()) {
  }
  FreeConsole();
  EXPECT_TRUE(AttachConsole(process.dwProcessId));
  SetConsoleCtrlHandler(nullptr, TRUE);
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  FreeConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(status, static_cast<DWORD>(kExitErrors));
#else
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  std::fflush(nullptr);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0 && !replacing()) {
  }
  kill(child, SIGTERM);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), kExitErrors);
#endif
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_FALSE(Exists(Win("APP\\A.DL_")));
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
  EXPECT_TRUE(Leftovers().empty());
  Outcome next = Cli(Args("update", {"--backup", "--only=Program", "--only=Help"}));
  EXPECT_EQ(next.status, kExitUpToDate) << next.err;
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), newB_);
}
#endif

// The real program, started as a script starts it.
TEST_F(CliTest, TheProgramRunsFromAScript) {
#ifndef VARERI_CLI_EXE
  GTEST_SKIP() << "the program's path is not known to this build";
#else
  BuildProduct();
  std::string exe = CliProgramPath();
  auto run = [&](const std::string& command) {
    std::string line = "\"" + exe + "\" " + command + " \"" + updatePath_ + "\" --dir \"" +
                       Win("APP") + "\" --windows-dir \"" + Win("WIN") + "\" > \"" +
                       Native(Win("out.txt")) + "\" 2> \"" + Native(Win("err.txt")) + "\"";
#ifdef _WIN32
    int status = std::system(("\"" + line + "\"").c_str());  // cmd drops the outer quotes
#else
    int raw = std::system(line.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    Bytes out = Installed(Win("out.txt"));
    Bytes errBytes = Installed(Win("err.txt"));
    std::string err;
    for (uint8_t c : errBytes) {
      if (c != '\r') err.push_back(static_cast<char>(c));
    }
    return Outcome{status, SplitLines(std::string(out.begin(), out.end())), err};
  };
  Outcome check = run("check");
  EXPECT_EQ(check.status, kExitUpdatable) << check.err;
  EXPECT_EQ(check.out,
            Lines({Win("APP\\A.DLL") + " will be updated",
                   Win("APP\\B.DLL") + " will not be updated (User Selection)",
                   Win("APP\\E.DLL") + " is up to date", "Demo can be sucessfully updated"}));
  Outcome update = run("update");
  EXPECT_EQ(update.status, kExitUpToDate) << update.err;
  EXPECT_EQ(update.out.back(), "Demo was sucessfully updated");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  fs::remove(Native(Win("APP\\E.DLL")));
  Outcome broken = run("update");
  EXPECT_EQ(broken.status, kExitErrors);
  EXPECT_EQ(broken.err, "vareri-cli: the update found 1 error; no file was changed\n");
#ifndef _WIN32
  // Its lines to a full disk, as /dev/full is: exit 64 and a word on stderr.
  std::string full = "\"" + exe + "\" check \"" + updatePath_ + "\" >/dev/full 2>\"" +
                     Native(Win("err.txt")) + "\"";
  EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), kExitUsage);
  Bytes err = Installed(Win("err.txt"));
  EXPECT_TRUE(Contains(std::string(err.begin(), err.end()), "cannot write the output"));
#endif
#endif
}

}  // namespace
