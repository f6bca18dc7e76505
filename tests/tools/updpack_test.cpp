// updpack's command line, without a process: what each wrong one is told, what a few right
// ones do, and the exit status. tests/CMakeLists.txt runs a few of these through the real
// program too.
#include "updpack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/temp_dir.h"
#include "support/trust_data.h"
#include "updpack_help.h"

namespace {

TEST(Updpack, CommandLines) {
  TempDir dir;
  const std::string plain = dir.path() + "/plain.upd", r1 = dir.path() + "/r1",
                    r2 = dir.path() + "/r2";
  std::filesystem::create_directories(r1);
  std::filesystem::create_directories(r2);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string says;  // status 2: the whole problem; else a part of the output (0) or errors
  } rows[] = {
      {{"--help"}, 0, "Usage: updpack build"},
      {{"list", "x.upd", "-h", "--bogus"}, 0, "Exit status: 0 success"},
      {{"--version"}, 0, "updpack "},
      {{"build", "no-such-manifest.json", "-o", "x.upd"},
       1,
       "updpack: cannot read manifest no-such-manifest.json: no such file\n"},
      {{"build", ".", "-o", "x.upd"},
       1,
       "updpack: cannot read manifest .: a directory, not a file\n"},
      {{"key", "show", "."}, 1, "cannot read the key .: a directory, not a file"},
      {{}, 2, "no command given"},
      {{"m.json"}, 2, "\"m.json\" is not a command"},
      {{"build", "m.json", "-o", "x.upd", "-j", "0"},
       2,
       "-j needs a number of files from 1 to 256, not \"0\""},
      {{"build", "m.json", "-o", "x.upd", "--jobs", "257"},
       2,
       "-j needs a number of files from 1 to 256, not \"257\""},
      {{"build", "m.json", "-o", "x.upd", "-j", "+4"},
       2,
       "-j needs a number of files from 1 to 256, not \"+4\""},
      {{"build", "m.json", "-o", "x.upd", "-j", "4x"},
       2,
       "-j needs a number of files from 1 to 256, not \"4x\""},
      {{"init", "--new", "1.2", "-o", "m.json"}, 2, "init needs at least one --previous FOLDER"},
      {{"init", "--previous", "1.0", "-o", "m.json"}, 2, "init needs --new FOLDER"},
      {{"init", "--new", "1.1", "--previous", "1.0"}, 2, "init needs -o MANIFEST"},
      {{"init", "m.json", "--new", "1.1"}, 2, "unexpected argument m.json"},
      {{"list", "x.upd", "--bogus"}, 2, "unknown option --bogus"},
      {{"build", "m.json", "--output=x.upd"}, 2, "unknown option --output=x.upd"},
      {{"list", "-"}, 2, "unknown option -"},
      {{"list", "--", "x.upd"}, 2, "unknown option --"},
      {{"list", "x.upd", "-o", "y"}, 2, "--output is only for build init"},
      {{"verify", "x.upd", "-j", "2"}, 2, "--jobs is only for build"},
      {{"build", "m.json", "-o", "x.upd", "--key", "k"}, 2, "--key is only for sign verify"},
      {{"sign", "x.upd", "--public", "k"}, 2, "--public is only for keygen"},
      {{"list", "x.upd", "--plain"}, 2, "--plain is only for build"},
      {{"list", "x.upd", "--new", "1.1"}, 2, "--new and --previous are only for init"},
      {{"build", "m.json", "-o", "x.upd", "--plain", "--sign", "k"},
       2,
       "--plain leaves no record to sign"},
      {{"keygen", "--private", "a"}, 2, "keygen needs --private KEY and --public PUBLIC"},
      {{"keygen", "k", "--private", "a", "--public", "b"}, 2, "unexpected argument k"},
      {{"list"}, 2, "list needs a file"},
      {{"build", "m.json", "-o", ""}, 2, "build needs -o FILE.upd"},
      {{"sign", "x.upd"}, 2, "sign needs --key KEY"},
      {{"install", "x.upd"}, 2, "\"install\" is not a command"},
      {{"list", "a.upd", "b.upd"}, 2, "unexpected argument b.upd"},
      {{"build", "m.json", "-o"}, 2, "-o needs a name"},
      {{"build", "m.json", "--jobs"}, 2, "--jobs needs a number"},
      {{"init", "--previous"}, 2, "--previous needs a name"},
      {{"key", "show"}, 2, "key needs show KEYFILE"},
      {{"key", "print", "k"}, 2, "key needs show KEYFILE"},
      {{"key", "show", TrustDataPath("vendor.pub")}, 0, TrustText("vendor.txt")},
#ifndef _WIN32
      {{"key", "show", TrustDataPath("vendor.key")}, 0, TrustText("vendor.txt")},
#endif
      {{"key", "show", TrustDataPath("trust.json")}, 1, "trust.json holds no key"},
      {{"key", "show", "a", "b"}, 2, "unexpected argument b"},
      // The manifest's paths are its folder's, wherever updpack runs.
      {{"build", TrustDataPath("trust.json"), "-o", plain, "--plain"}, 0, ""},
      {{"verify", plain}, 0, "integrity record: none"},
      {{"verify", plain, "--key", TrustDataPath("vendor.pub")}, 1, ""},  // not signed
      {{"init", "--new", r2, "--previous", r1, "-o", dir.path() + "/m.json"},
       1,
       "no file changed in a way an update can deliver"},
#ifndef _WIN32
      {{"build", TrustDataPath("trust.json"), "-o", plain, "--sign", TrustDataPath("vendor.key")},
       0,
       ""},
      {{"verify", plain, "--key", TrustDataPath("vendor.pub")}, 0, "signature: ok"},
#endif
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"updpack"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunUpdpack(args, out, err), row.status) << row.says;
    if (row.status == 2) {
      EXPECT_EQ(err.str(),
                "updpack: " + row.says + "\n" + kUpdpackSynopsis + "Try 'updpack --help'.\n");
      EXPECT_EQ(out.str(), "");
    } else {
      EXPECT_NE((row.status ? err : out).str().find(row.says), std::string::npos) << err.str();
    }
  }
}

}  // namespace
