// Finding the installed file: paths and device names, the path by kind, the stamp, and
// what is not a disk file or may not be written.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/engine_fixture.h"
#include "model/file_name.h"
#include "model/paths.h"

namespace {

TEST(JoinPath, OneBackslashAndNeverCut) {
  char path[256] = "D:\\APP";
  EXPECT_TRUE(JoinPath(path, "BIN"));
  EXPECT_TRUE(JoinPath(path, ""));
  EXPECT_TRUE(JoinPath(path, "A.DLL"));
  EXPECT_STREQ(path, "D:\\APP\\BIN\\A.DLL");
  char root[256] = "D:\\";
  EXPECT_TRUE(JoinPath(root, "A.DLL"));
  EXPECT_STREQ(root, "D:\\A.DLL");
  char empty[256] = "";
  EXPECT_TRUE(JoinPath(empty, "A.DLL"));
  EXPECT_STREQ(empty, "\\A.DLL");  // an empty path does not end in a backslash
  char full[256];
  std::memset(full, 'x', 250);
  full[250] = '\0';
  EXPECT_TRUE(JoinPath(full, "abcd"));  // 255 characters exactly
  EXPECT_EQ(std::strlen(full), 255u);
  full[250] = '\0';
  EXPECT_FALSE(JoinPath(full, "abcde"));
  EXPECT_EQ(std::strlen(full), 250u);  // unchanged
  EXPECT_EQ(BackupName("D:\\APP\\A.DLL"), "D:\\APP\\A.DL_");
  EXPECT_EQ(LastComponent("D:\\APP\\A.DL_"), "A.DL_");
  EXPECT_EQ(LastComponent("A.DL_"), "A.DL_");
}

TEST(IsReservedDeviceName, DevicesWithOrWithoutExtensionInAnyCase) {
  for (const char* name :
       {"NUL", "nul.txt", "Con", "PRN.DLL.BAK", "aux", "COM1", "com9.dll", "LPT3 .log", "LPT0",
        "NUL:", "CONIN$", "conout$.x", "COM\xB9", "LPT\xB2.TXT"}) {
    EXPECT_TRUE(IsReservedDeviceName(name)) << name;
  }
  for (const char* name :
       {"NULL", "A.NUL", "CON_", "COM10", "COMA", "LPT", "XCOM1", " NUL", "", "COM\xB4", "CONIN"}) {
    EXPECT_FALSE(IsReservedDeviceName(name)) << name;
  }
}

using InspectionTest = EngineTest;

TEST_F(InspectionTest, FormPathByKind) {
  CUpdateItem item;
  item.fileName = "A.DLL";
  const struct {
    uint16_t kind;
    const char* directory;
    std::string want;
  } cases[] = {
      {0, "IGNORED", Win("WIN\\A.DLL")},    {1, "", Win("WIN\\SYSTEM\\A.DLL")},
      {2, "BIN", Win("APP\\BIN\\A.DLL")},   {2, "", Win("APP\\A.DLL")},
      {3, "E:\\TOOLS", "E:\\TOOLS\\A.DLL"}, {7, "X", "A.DLL"},
  };
  for (const auto& c : cases) {
    item.directoryKind = c.kind;
    item.directory = c.directory;
    item.FormPath(app_);
    EXPECT_EQ(std::string(item.targetPath), c.want) << "kind " << c.kind;
    EXPECT_EQ(item.pathOk, c.kind <= 3);
  }
  std::snprintf(app_.installDir, sizeof app_.installDir, "D:\\");
  item.directoryKind = 2;
  item.directory = "";
  item.FormPath(app_);
  EXPECT_EQ(item.targetPath, "D:\\A.DLL");
  item.directory = std::string(250, 'd');
  item.FormPath(app_);
  EXPECT_FALSE(item.pathOk);
  EXPECT_LE(item.targetPath.size(), 255u);
}

TEST_F(InspectionTest, StampsComeFromTheFileOnDisk) {
  Install(Win("APP\\P.DLL"), MakeProgram(0x00020003, 0x00040005, 12345, 1));
  Install(Win("APP\\T.TXT"), Bytes(77, 'x'));
  CFileStamp stamp;
  stamp.ReadFromFile(env_, Win("APP\\P.DLL"));
  EXPECT_EQ(stamp.size, 12345u);
  EXPECT_EQ(stamp.versionMS, 0x00020003u);
  EXPECT_EQ(stamp.versionLS, 0x00040005u);
  EXPECT_NE(stamp.modified, 0u);
  stamp.ReadFromFile(env_, Win("APP\\T.TXT"));
  EXPECT_EQ(stamp.size, 77u);
  EXPECT_EQ(stamp.versionMS, 0u);
  EXPECT_EQ(stamp.versionLS, 0u);
  stamp.ReadFromFile(env_, Win("APP\\NONE.DLL"));
  EXPECT_EQ(stamp.size, 0u);
}

TEST_F(InspectionTest, DevicesAndOtherNonFilesAreNotFound) {
  // Devices by name, decided before any call to the OS; then something else that is no
  // disk file under a name that could be a file's, opened without waiting and refused.
  std::vector<EntryPlan> entries;
  for (const char* name : {"NUL", "nul.txt", "COM1", "Lpt3 .dll", "SUB/AUX", "P.DLL"}) {
    entries.emplace_back(name);
  }
#ifdef _WIN32
  std::string pipe = "\\\\.\\pipe\\vareri-" + std::to_string(GetCurrentProcessId());
  entries.back() = EntryPlan{LastComponent(pipe), 3, "\\\\.\\pipe"};
  std::vector<HANDLE> instances(3);  // one for each open
  for (HANDLE& h : instances) {
    h = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, 0, PIPE_UNLIMITED_INSTANCES, 0, 0, 0,
                         nullptr);
  }
#else
  std::string pipe = Win("APP\\P.DLL");
  ASSERT_EQ(mkfifo(Native(pipe).c_str(), 0644), 0);
  alarm(60);  // a check that waits for a writer ends the test instead of hanging it
#endif
  Build(entries);
  env_.FailCall(0, false);  // counts the calls
  Run(false);
#ifdef _WIN32
  for (HANDLE h : instances) CloseHandle(h);
#else
  alarm(0);
#endif
#ifdef _WIN32
  // The device namespace (\\.\) is refused by its name as well: nothing reaches the OS.
  EXPECT_EQ(env_.calls, 0);
#else
  EXPECT_EQ(env_.calls, 3) << "only the last entry reaches the OS: its identity, two opens";
#endif
  ASSERT_EQ(log_.lines.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string path = i + 1 < entries.size() ? Win("APP\\" + entries[i].name) : pipe;
    EXPECT_EQ(log_.lines[i], path + " error [File Not Found]");
    EXPECT_EQ(app_.record.entries[i].openCause, FileCause::invalidFile) << path;
  }
}

TEST_F(InspectionTest, ReadOnlyTargetCannotBeWritten) {
  Bytes old = MakeProgram(0x00010000, 0, 3000, 3);
  Install(Win("WIN\\SYSTEM\\R.DLL"), old);
  Install(Win("APP\\system\\R.DLL"), old);  // the fallback must not be tried
  std::filesystem::permissions(Native(Win("WIN\\SYSTEM\\R.DLL")),
                               std::filesystem::perms::owner_read |
                                   std::filesystem::perms::group_read |
                                   std::filesystem::perms::others_read);
  FileCause why;
  if (env_.OpenExclusive(Win("WIN\\SYSTEM\\R.DLL"), true, &why)) {
    // Root under Wine ignores the attribute; readonly_as_user.sh runs this test unprivileged.
    ASSERT_EQ(std::getenv("VARERI_EXPECT_READONLY"), nullptr)
        << "a read-only file opened for writing";
    GTEST_SKIP() << "this user may write read-only files (root under Wine)";
  }
  EntryPlan r{"R.DLL", 1};
  r.newBytes = MakeProgram(0x00010001, 0, 3000, 4);
  r.previous = {old};
  Build({r});
  Run(false);
  EXPECT_EQ(log_.lines,
            std::vector<std::string>{
                Win("WIN\\SYSTEM\\R.DLL") +
                " error [Cannot Write, Check Read-Only Attribute or File Permissions]"});
  EXPECT_EQ(app_.record.entries[0].openCause, FileCause::accessDenied);
  EXPECT_FALSE(app_.runOk);
}

// The replacement makes a new file next to each file it replaces: a directory that takes
// none fails the check of every file to replace there, probed once per directory.
TEST_F(InspectionTest, DirectoriesThatTakeNoNewFileFailTheCheck) {
  Bytes old = MakeProgram(0x00010000, 0, 3000, 5), fresh = MakeProgram(0x00010001, 0, 3100, 6);
  std::vector<EntryPlan> entries;
  for (const char* path : {"A.DLL", "B.DLL", "BIN\\C.DLL", "U.DLL"}) {
    entries.emplace_back(LastComponent(path), 2, path[1] == 'I' ? "BIN" : "");
    entries.back().newBytes = fresh;
    entries.back().previous = {old};
    Install(Win(std::string("APP\\") + path), path[0] == 'U' ? fresh : old);  // U: current
  }
  Build(entries);
  env_.lockedDirectory = Win("APP\\");
  int probes = 0;
  env_.before = [&](const std::string& what) { probes += what == "ProbeNewFile"; };
  for (bool doUpdate : {false, true}) {
    probes = 0;
    Run(doUpdate);
    EXPECT_EQ(probes, 2) << "one per directory";
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(app_.record.entries[k].cause,
                k < 2 ? EntryCause::directoryRefused : EntryCause::none);
    }
    EXPECT_EQ(Installed(Win("APP\\BIN\\C.DLL")), old);
  }
  EXPECT_EQ(
      log_.lines[0],
      Win("APP\\A.DLL") + " error [Cannot Write, Check Read-Only Attribute or File Permissions]");
}

// The same with a directory the user may not write, as the system refuses it.
TEST_F(InspectionTest, ReadOnlyDirectoryFailsTheCheck) {
  Bytes old = MakeProgram(0x00010000, 0, 3000, 7);
#ifdef _WIN32
  // Wine keeps no read-only attribute on directories: readonly_as_user.sh makes one its
  // unprivileged user may not write, holding a file R.DLL he may.
  const char* locked = std::getenv("VARERI_LOCKED_DIR");
  if (!locked) GTEST_SKIP() << "no directory this user may not write (readonly_as_user.sh)";
  std::string directory = locked;
#else
  std::string directory = Win("LOCKED");
#endif
  Install(directory + "\\R.DLL", old);
  EntryPlan r{"R.DLL", 3, directory};
  r.newBytes = MakeProgram(0x00010001, 0, 3000, 8);
  r.previous = {old};
  Build({r});
#ifndef _WIN32
  // A new file's name already taken, by what an ended run left, proves nothing about the
  // directory now.
  Install(directory + "\\R.DLL~UPD", Bytes(r.newBytes.begin(), r.newBytes.begin() + 100));
  std::filesystem::permissions(Native(directory + "\\R.DLL~UPD"), std::filesystem::perms::all);
  std::filesystem::permissions(Native(directory + "\\R.DLL"), std::filesystem::perms::all);
  std::filesystem::permissions(root_, std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add);
  ASSERT_EQ(chmod(Native(directory).c_str(), 0555), 0);
  // Root may write anywhere: the check then runs as nobody, who may write only the file.
  bool root = geteuid() == 0;
  ASSERT_TRUE(!root || (!setegid(65534) && !seteuid(65534)));
#endif
  Run(false);
#ifndef _WIN32
  ASSERT_TRUE(!root || (!seteuid(0) && !setegid(0)));
  chmod(Native(directory).c_str(), 0755);
#endif
  EXPECT_EQ(app_.record.entries[0].cause, EntryCause::directoryRefused) << log_.lines[0];
  EXPECT_EQ(log_.lines[0], directory +
                               "\\R.DLL error [Cannot Write, Check Read-Only "
                               "Attribute or File Permissions]");
}

}  // namespace
