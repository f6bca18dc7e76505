// vareri-cli's command line as data: what each wrong one is told, and what a right one holds.
#include "cli_options.h"

#include <gtest/gtest.h>

namespace {

TEST(CliOptions, ProblemsInTheirWords) {
  const std::string longDir(256, 'D');
  const struct {
    std::vector<std::string> args;
    std::string problem;  // "" when accepted
  } rows[] = {
      {{"check", "a.upd", "--dir=C:\\APP", "--only", "X", "--only=Y", "--json", "--json"}, ""},
      {{"check", "--", "-x.upd"}, ""},
      {{"check", "-"}, ""},
      {{"check", "a.upd", "--verbose", "--help"}, "unknown option --verbose"},
      {{"check", "a.upd", "--help=x"}, "unknown option --help=x"},
      {{"check", "a.upd", "-x=y"}, "unknown option -x=y"},
      {{"check", "a.upd", "--json=yes"}, "--json takes no value"},
      {{"check", "a.upd", "--dir"}, "--dir needs a value"},
      {{"check", "a.upd", "--dir="}, "--dir needs a value"},
      {{"check", "a.upd", "--exclude", ""}, "--exclude needs a value"},
      {{"check", "a.upd", "--key", "k", "--key=j"}, "--key is given twice"},
      {{}, "no command given (check, update, list or trust)"},
      {{"install", "a.upd"}, "unknown command install"},
      {{"list"}, "list needs an update file"},
      {{"check", "a.upd", "b", "--verbose"}, "unexpected argument b"},
      {{"check", "a.upd", "--backup"}, "--backup is only for update"},
      {{"update", "a.upd", "--system-dir", longDir}, "--system-dir is longer than 255 characters"},
      {{"update", "a.upd", "--log", longDir, "--windows-dir", longDir.substr(1)}, ""},
      {{"trust"}, "trust needs add, list or remove"},
      {{"trust", "grant"}, "unknown trust command grant (add, list or remove)"},
      {{"trust", "add", "--key", "k"}, "trust add needs --dir DIR"},
      {{"trust", "add", "--dir", "C:\\A"}, "trust add needs --key KEY"},
      {{"trust", "remove", "--dir", "C:\\A", "--key", "k"}, "--key is only for trust add"},
      {{"trust", "list", "--user"},
       "trust list takes no --dir or --user: it lists the whole store"},
      {{"trust", "list", "--json"}, "trust takes only --dir, --key, --user and --quiet"},
      {{"trust", "remove", "--dir", "C:\\A", "--backup"},
       "trust takes only --dir, --key, --user and --quiet"},
      {{"trust", "remove", "--dir", "C:\\A", "--system-dir", "C:\\S"},
       "trust takes only --dir, --key, --user and --quiet"},
      {{"trust", "list", "x"}, "unexpected argument x"},
      {{"check", "a.upd", "--user"}, "--user is only for trust"},
      {{"trust", "remove", "--dir", "C:\\A", "--user"}, ""},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"vareri-cli"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    CliOptions options;
    EXPECT_EQ(ParseCliOptions(args, &options), row.problem) << ::testing::PrintToString(args);
  }
  CliOptions options;
  ASSERT_EQ(ParseCliOptions({"vareri-cli", "update", "a b.upd", "--only=Y", "--only", "X",
                             "--backup", "--dir", "D"},
                            &options),
            "");
  EXPECT_TRUE(options.doUpdate && options.backup && !options.list);
  EXPECT_EQ(options.updatePath, "a b.upd");
  EXPECT_EQ(options.only, (std::vector<std::string>{"Y", "X"}));
  EXPECT_EQ(options.dir, "D");
  EXPECT_EQ(CommandLineText({"vareri-cli", "check", "a b.upd", ""}),
            "vareri-cli check \"a b.upd\" \"\"");
}

}  // namespace
