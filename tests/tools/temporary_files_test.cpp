// The temporary files of a build: what a killed build left, the next build of the same output
// removes, and nothing a running build holds; the real program removes its own when stopped.
#include "temporary_files.h"

#include <filesystem>
#include <fstream>

#include "output_file.h"
#include "pack.h"
#include "updpack_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// The files beside `output` whose names start with its own and a dot.
std::vector<std::string> Temporaries(const std::string& output) {
  std::vector<std::string> names;
  std::string prefix = fs::path(output).filename().string() + ".";
  for (const auto& entry : fs::directory_iterator(fs::path(output).parent_path())) {
    std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

TEST_F(UpdpackTest, ABuildRemovesWhatKilledBuildsLeftAndNothingElse) {
  WriteProduct();
  AtomicFile running(output_);
  running.Write("x", 1);
  const std::vector<std::string> held = Temporaries(output_);
  ASSERT_EQ(held.size(), 1u);
  // 4294967292 is the id of no process, on Windows either.
  const char* const stale[] = {"demo.upd.tmp4294967292-0", "demo.upd.part4294967292-12"};
  const char* const others[] = {"demo.upd.tmp4294967292-0.bak",
                                "demo.upd.tmp-1",
                                "demo.upd.tmp12",
                                "demo.upd.partial1-0",
                                "demo.upd.tmp99999999999-0",
                                "other.upd.tmp4294967292-0"};
  for (const char* name : stale) dir_.Write(name, {'s'});
  for (const char* name : others) dir_.Write(name, {'o'});
  BuildUpdate(manifest_, output_, PackReport());
  for (const char* name : stale) EXPECT_FALSE(fs::exists(dir_.path() + "/" + name)) << name;
  for (const char* name : others) EXPECT_TRUE(fs::exists(dir_.path() + "/" + name)) << name;
  EXPECT_TRUE(fs::exists(dir_.path() + "/" + held[0]));
  running.Commit();
  EXPECT_EQ(fs::file_size(output_), 1u);
}

#ifdef UPDPACK_EXE
// The real program stopped mid-build: an interrupt (SIGTERM; Ctrl+C on Windows) leaves no
// temporary file; what a kill leaves, the next build of the same output removes.
TEST_F(UpdpackTest, AStoppedBuildLeavesNoTemporaryFileForLong) {
  std::string files;
  for (int k = 0; k < 3; ++k) {
    std::string name = "F" + std::to_string(k) + ".TXT";
    Put(name, Compressible(8 << 20, k));
    files += std::string(k ? "," : "") + R"({"name": ")" + name +
             R"(", "directoryKind": "installation", "new": ")" + name + "\"}";
  }
  const std::string text = R"({"format": 6, "product": "P", "defaultDirectory": "C:\\P",
      "registry": ["a", "b", "c"], "files": [)" +
                           files + "]}";
  const std::string manifest = Put("m.json", Bytes(text.begin(), text.end()));
  output_ = dir_.path() + "/out.upd";
  std::string exe = UPDPACK_EXE;
#ifdef _WIN32
  for (char& c : exe) {
    if (c == '/') c = '\\';
  }
  if (exe[0] == '\\') exe = "Z:" + exe;
  std::string command = "\"" + exe + "\" build \"" + manifest + "\" -o \"" + output_ + "\" -j 2 -q";
  // Ended by Ctrl+C, in a console of its own that this test joins to press it (ignoring it
  // itself), or by TerminateProcess. Returns the exit status.
  auto stop = [&](bool interrupt) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    EXPECT_TRUE(CreateProcessA(nullptr, &std::string(command)[0], nullptr, nullptr, FALSE,
                               CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process));
    while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT &&
           Temporaries(output_).empty()) {
    }
    if (interrupt) {
      FreeConsole();
      EXPECT_TRUE(AttachConsole(process.dwProcessId));
      SetConsoleCtrlHandler(nullptr, TRUE);
      EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
      FreeConsole();
      SetConsoleCtrlHandler(nullptr, FALSE);
    } else {
      TerminateProcess(process.hProcess, 137);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
  };
  EXPECT_EQ(stop(true), 1u);
  EXPECT_EQ(Temporaries(output_), std::vector<std::string>());
  EXPECT_EQ(stop(false), 137u);
#else
  // Ended by `signal` once its output's temporary file is there.
  auto stop = [&](int signal) {
    pid_t child = fork();
    if (child == 0) {
      execl(exe.c_str(), "updpack", "build", manifest.c_str(), "-o", output_.c_str(), "-j", "2",
            "-q", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0 && Temporaries(output_).empty()) {
    }
    kill(child, signal);
    EXPECT_EQ(waitpid(child, &status, 0), child);
    // Ended by the signal, as without the handler, not by the end of the build.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
  };
  stop(SIGTERM);
  EXPECT_EQ(Temporaries(output_), std::vector<std::string>());
  stop(SIGKILL);
#endif
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_FALSE(Temporaries(output_).empty()) << "the kill left nothing behind";
  BuildUpdate(ParseManifest(text, dir_.path()), output_, PackReport());
  EXPECT_EQ(Temporaries(output_), std::vector<std::string>());
  EXPECT_TRUE(fs::exists(output_));
}
#endif

}  // namespace
