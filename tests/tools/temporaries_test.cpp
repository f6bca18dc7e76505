// The temporary files of builds stopped or killed: a build removes what killed builds of the
// same output left, and nothing a running one holds or another output owns; a stopped build
// leaves none for long.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "output_file.h"
#include "pack.h"
#include "updpack_fixture.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;

TEST_F(UpdpackTest, ABuildRemovesWhatKilledBuildsLeftAndNothingARunningOneHolds) {
  WriteProduct();
  AtomicFile running(output_);
  // 4294967292 is the id of no process, on Windows either. Only this output's own
  // temporaries go: not another output's, nor a name with more digits than an id has.
  const std::pair<const char*, bool> names[] = {
      {"demo.upd.tmp4294967292-0", true},      {"demo.upd.part4294967292-3", true},
      {"demo.upd.tmp4294967292-0.bak", false}, {"over.upd.tmp4294967292-0", false},
      {"demo.upd.tmp004294967292-0", false},
  };
  for (const auto& [name, removed] : names) dir_.Write(name, {});
  BuildUpdate(manifest_, output_, PackReport());
  for (const auto& [name, removed] : names) {
    EXPECT_EQ(fs::exists(dir_.path() + "/" + name), !removed) << name;
  }
  running.Commit();  // raises if its file was removed
  EXPECT_EQ(fs::file_size(output_), 0u);
}

#if !defined(_WIN32) && defined(UPDPACK_EXE)
// The real program stopped mid-build: SIGTERM leaves no temporary file, and what SIGKILL
// leaves, the next build of the same output removes.
TEST_F(UpdpackTest, AStoppedBuildLeavesNoTemporaryFileForLong) {
  Put("A", Compressible(24 << 20, 1));
  const std::string text = R"({"format": 5, "product": "P", "defaultDirectory": "C:\\P",
                               "files": [{"name": "A", "directoryKind": 2, "new": "A"}]})";
  Put("m.json", Bytes(text.begin(), text.end()));
  output_ = dir_.path() + "/out.upd";
  auto temporaries = [&] {
    return std::count_if(fs::directory_iterator(dir_.path()), {}, [](const fs::path& path) {
      return path.filename().string().rfind("out.upd.", 0) == 0;
    });
  };
  for (int signal : {SIGTERM, SIGKILL}) {
    // Signalled once a temporary file is there; the shell, quiet, exits 128 + the number of
    // the signal that ended the build, not by its own end.
    std::string script = "exec 2>/dev/null; cd '" + dir_.path() +
                         "' && { '" UPDPACK_EXE
                         "' build m.json -o out.upd & } && until ls out.upd.* >/dev/null "
                         "|| ! kill -0 $!; do :; done; kill -" +
                         std::to_string(signal) + " $!; wait $!";
    EXPECT_EQ(WEXITSTATUS(std::system(script.c_str())), 128 + signal);
    EXPECT_EQ(temporaries() == 0, signal == SIGTERM);
  }
  BuildUpdate(ParseManifest(text, dir_.path()), output_, PackReport());
  EXPECT_EQ(temporaries(), 0);
}
#endif

}  // namespace
