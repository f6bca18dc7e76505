// The manifest: each refusal names its field and says what is wrong, and the description
// becomes the CR LF text the main window shows.
#include "manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string ManifestError(const std::string& text) {
  try {
    ParseManifest(text, "");
  } catch (const ::ManifestError& e) {
    return e.what();
  }
  return "";
}

// A format 6 manifest with the file entries `files` and the header fields `more`.
std::string WithFiles(const std::string& files, const std::string& more = "") {
  return R"({"format": 6, "product": "P", "defaultDirectory": "C:\\P", "registry": ["a", "b", "c"], )" +
         more + R"("files": [)" + files + "]}";
}

std::string Entry(const std::string& name, const std::string& kind = "installation",
                  const std::string& directory = "") {
  return R"({"name": ")" + name + R"(", "directoryKind": ")" + kind + R"(", "directory": ")" +
         directory + R"(", "new": "n"})";
}

struct Refusal {
  std::string manifest;
  std::string field;  // the message's start; "" for a manifest that parses
  std::string says;   // a part of the message
};

TEST(Manifest, RefusalsNameTheFieldAndSayWhy) {
  const std::string head = R"({"format": 6, "product": "P", "defaultDirectory": "C:\\P",
                               "registry": ["a", "b", "c"], )";
  const std::string longDirectory = "C:\\\\" + std::string(250, 'D');
  auto nested = [](size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  auto described = [](const std::string& text) {
    return WithFiles("", R"("description": ")" + text + R"(", )");
  };
  std::vector<Refusal> rows = {
      {"{", "manifest is not valid JSON", ""},
      {R"({"product": "P"})", "format:", ""},
      {R"({"format": 7, "product": "P"})", "format:", ""},
      {R"({"format": 6, "product": "P", "defaultDirectory": "D", "files": []})", "registry:", ""},
      {R"({"format": 5, "product": "P", "defaultDirectory": "D",
           "registry": ["a", "b", "c"], "files": []})",
       "registry:", ""},
      {head + R"("files": [], "sampleLength": 2000})", "sampleLength:", ""},
      {head + R"("files": [], "sampleCount": 0})", "sampleCount:", ""},
      {head + R"("files": [], "sampleLength": 0})", "sampleLength:", ""},
      {head + R"("files": [], "colour": 1})", "colour: unknown", ""},
      {head + R"("files": [{"name": "A.DLL", "new": "a"}]})", "files[0].directoryKind:", ""},
      {head + R"("files": [{"name": "A.DLL", "directoryKind": "attic", "new": "a"}]})",
       "files[0].directoryKind:", ""},
      {head + R"("files": [{"name": "BIN\\A.DLL", "directoryKind": 2, "new": "a"}]})",
       "files[0].name:", ""},
      {head + R"("files": [{"name": "A.DLL", "directoryKind": "absolute", "new": "a"}]})",
       "files[0].directory:", ""},
      {head + R"("files": [{"name": "A.DLL", "directoryKind": 2, "new": "a", "previous": [3]}]})",
       "files[0].previous[0]:", ""},
      {head + R"("files": [{"name": "A.DLL", "directoryKind": 2}]})", "files[0].new:", ""},
      {head + R"("description": "\u4e2d", "files": []})", "description:", ""},
      {head + R"("description": "caf\u00e9 \u20ac", "files": []})", "", ""},
      {WithFiles(Entry("A.DLL", "installation", "..\\\\X")), "files[0].directory:", "climbs out"},
      {WithFiles(Entry("A.DLL", "installation", "BIN/../../X")),
       "files[0].directory:", "climbs out"},
      {WithFiles(Entry("A.DLL", "installation", "C:\\\\X")),
       "files[0].directory:", "not a full path"},
      {WithFiles(Entry("A.DLL", "installation", "BIN\\\\PRN")),
       "files[0].directory:", "\"PRN\" is a device"},
      {WithFiles(Entry("A.DLL", "installation", "BIN\\\\SUB\\\\")), "", ""},
      {WithFiles(Entry("A.DLL", "absolute", "DATA")), "files[0].directory:", "full directory"},
      {WithFiles(Entry("A.DLL", "absolute", "C:DATA")), "files[0].directory:", "full directory"},
      {WithFiles(Entry("A.DLL", "absolute", "C:\\\\DATA:alt")), "files[0].directory:", "stream"},
      {WithFiles(Entry("A.DLL", "absolute", "\\\\\\\\SRV\\\\S:x")),
       "files[0].directory:", "stream"},
      {WithFiles(Entry("A.DLL", "absolute", "C:\\\\A|B")), "files[0].directory:", "contains \"|\""},
      {WithFiles(Entry("A.DLL", "absolute", longDirectory)),
       "files[0].directory:", "longer than 255"},
      {WithFiles(Entry("A.DLL", "absolute", "\\\\\\\\SRV\\\\SHARE")), "", ""},
      {WithFiles(Entry("A.DLL", "absolute", "d:/DOCS")), "", ""},
      {WithFiles(Entry("A.DLL", "absolute", "D:\\\\A") + "," +
                 Entry("A.DLL", "absolute", "D:\\\\B")),
       "", ""},
      {WithFiles(Entry("A.DLL") + "," + Entry("a.dll")), "files[1].name:", "files[0] too"},
      {WithFiles(Entry("\\u0161\\u0153\\u017e\\u00ff\\u00e9") + "," +
                 Entry("\\u0160\\u0152\\u017d\\u0178\\u00c9")),
       "files[1].name:", "files[0] too"},
      {WithFiles(Entry("A.DLL", "installation", "BIN") + "," +
                 Entry("A.DLL", "installation", "bin/")),
       "files[1].name:", "files[0] too"},
      {WithFiles(Entry("A.TXT") + "," + Entry("a.tx_")),
       "files[1].name:", "backup name of files[0]"},
      {WithFiles(Entry("A.TX_") + "," + Entry("A.TXT")), "files[1].name:", "its backup name A.TX_"},
      {WithFiles(Entry("A.TXT") + "," + Entry("A.TXX") + "," + Entry("A.TX_")),
       "files[2].name:", "backup name of files[1]"},
      {WithFiles(Entry("A.EXE") + "," + Entry("a.exe~upd")), "files[1].name:", "ends in ~UPD"},
      {WithFiles(Entry("A.TXT", "installation", "BIN//X")),
       "files[0].directory:", "two separators in a row"},
      {WithFiles(Entry("A.DLL", "windows") + "," + Entry("A.DLL", "system")), "", ""},
      {WithFiles(Entry("A.DLL", "windows", "X") + "," + Entry("A.DLL", "windows", "Y")),
       "files[1].name:", "files[0] too"},
      {WithFiles(Entry("\\u00f7") + "," + Entry("\\u00d7")), "", ""},
      {WithFiles(Entry("A.TXT", "installation", "BIN") + "," + Entry("A.TX_")), "", ""},
      {WithFiles(R"({"name": "A", "name": "B", "directoryKind": 2, "new": "n"})"),
       "files[0].name:", "appears twice"},
      {WithFiles(Entry("A") + R"(, {"name": "B", "directoryKind": 2, "new": "n", "new": "m"})"),
       "files[1].new:", "appears twice"},
      {WithFiles("", R"("product": "Q", )"), "product:", "appears twice"},
      {WithFiles(R"(3, {"name": "A", "name": "B"})"), "files[1].name:", "appears twice"},
      {R"({"format": 6, "product": "P", "defaultDirectory": "D", "registry": ["a", "b\u0000", "c"],
          "files": []})",
       "registry[1]:", "NUL"},
      {WithFiles("", R"("description": "\u4e2d", )"), "description:", "\"\xE4\xB8\xAD\" (U+4E2D)"},
      {WithFiles("", R"("failureMessage": "<fill in: text>", )"), "failureMessage:", "still holds"},
      {R"({"format": 6, "product": "P", "defaultDirectory": "D", "registry": ["<fill in: a>", "b",
          "c"], "files": []})",
       "registry[0]:", "still holds"},
      {WithFiles(R"({"name": "A", "component": "<fill in: c>", "directoryKind": 2, "new": "n"})"),
       "files[0].component:", "still holds"},
      {R"({"product": "<fill in: p>", "format": 6, "defaultDirectory": "D", "registry": ["a",
          "<fill in: b>", "c"], "files": [{"name": "<fill in: n>"}], "description": "<fill in: d>"})",
       "product, registry[1], files[0].name and description:", "still hold"},
      {nested(64), "manifest:", "must be a JSON object"},
      {nested(65), "[0][0][0]", "nests more than 64 levels"},
      {WithFiles(R"({"name": "A", "x": [3, )" + nested(3000) + "]}"), "files[0].x[1][0][0]",
       "nests more than 64 levels"},
      {R"({"format": 6, "defaultDirectory": "D", "registry": ["a", "b", "c"], "files": []})",
       "product:", "missing"},
      {WithFiles("", R"("failureMessage": 5, )"), "failureMessage:", "must be a string"},
      {WithFiles("", R"("failureMessage": "a\u0000b", )"), "failureMessage:", "NUL"},
      {R"({"format": 5.5, "product": "P", "defaultDirectory": "D", "files": []})",
       "format:", "whole number"},
      {head + R"("files": [], "sampleLength": 1025})", "sampleLength:", ""},
      {head + R"("files": [], "sampleLength": 1024})", "", ""},
      {R"({"format": 6, "product": "P", "defaultDirectory": "D", "registry": ["a", "b", "c", "d"],
          "files": []})",
       "registry:", "three"},
      {head + R"("files": {}})", "files:", "must be a list"},
      {WithFiles("3"), "files[0]:", "must be an object"},
      {WithFiles(R"({"directoryKind": 2, "new": "n"})"), "files[0].name:", "missing"},
      {WithFiles(R"({"name": "A", "directoryKind": 4, "new": "n"})"),
       "files[0].directoryKind:", ""},
      {WithFiles(R"({"name": "A", "directoryKind": 0, "new": "n", "selected": 0})"), "", ""},
      {WithFiles(R"({"name": "A", "directoryKind": 2, "new": "n", "match": "bytes"})"),
       "files[0].match:", ""},
      {WithFiles(R"({"name": "A", "directoryKind": 2, "new": "n", "previous": "p"})"),
       "files[0].previous:", "must be a list"},
      {WithFiles(R"({"name": "A", "directoryKind": 2, "new": "n", "previous": [""]})"),
       "files[0].previous[0]:", ""},
      {WithFiles(R"({"name": "A", "directoryKind": 2, "new": "n", "previous": ["p"],
                    "action": "add"})"),
       "files[0].previous:", "an added file has no previous version"},
      {WithFiles(R"({"name": "A", "directoryKind": 2, "action": "remove"})"),
       "files[0].previous:", "must list the versions"},
      {WithFiles(R"({"name": "A", "directoryKind": 2, "new": "n", "previous": ["p"],
                    "action": "remove"})"),
       "files[0].new:", "a removal brings no new version"},
      {described(std::string(4096, 'x')), "", ""},
      {described(std::string(4095, 'x') + "\\n"), "description:", "has 4097 characters"},
  };
  // File names Windows cannot store, each refused as the entry's name.
  const std::pair<std::vector<std::string>, const char*> names[] = {
      {{".", ".."}, "step in a path"},
      {{"CON", "nul.txt", "Com1.dll", "LPT9", "COM\\u00b9.TXT", "com\\u00b2", "LPT\\u00b3.DLL",
        "AUX .txt", "CONOUT$", "CONIN$.TXT"},
       "device name"},
      {{"A.DLL.", "A.DLL "}, "ends in a dot or a space"},
      {{"A<B", "A>B", "A:B", "A\\\"B", "A|B", "A?B", "A*B"}, "contains \""},
      {{"A\\u0009B"}, "contains the control character 0x09"},
      {{std::string(256, 'A')}, "longer than 255"},
      {{"COM10", "CONSOLE.DLL", std::string(255, 'A')}, ""},
  };
  for (const auto& [list, says] : names) {
    for (const std::string& name : list) {
      rows.push_back({WithFiles(Entry(name)), *says ? "files[0].name: " : "", says});
    }
  }
  for (const Refusal& row : rows) {
    std::string error = ManifestError(row.manifest);
    EXPECT_EQ(error.empty(), row.field.empty()) << row.manifest << "\n" << error;
    EXPECT_EQ(error.rfind(row.field, 0), 0u) << row.manifest << "\n" << error;
    EXPECT_NE(error.find(row.says), std::string::npos) << row.manifest << "\n" << error;
  }
}

TEST(Manifest, AnEntryWithoutItsOptionalFieldsTakesTheirDefaults) {
  Manifest m =
      ParseManifest(WithFiles(Entry("A.DLL") + R"(, {"name": "B", "directoryKind": 2, "new": "n",
                                       "selected": false, "component": "C"})"),
                    "");
  ASSERT_EQ(m.files.size(), 2u);
  EXPECT_EQ(m.files[0].component, "A.DLL");
  EXPECT_EQ(m.files[0].defaultSelected, 1);
  EXPECT_EQ(m.files[1].component, "C");
  EXPECT_EQ(m.files[1].defaultSelected, 0);
}

TEST(Manifest, TheDescriptionIsCrLfTextThatFitsTheWindow) {
  Manifest m = ParseManifest(WithFiles("", R"("description": "a\nb\r\nc\rd", )"), "");
  EXPECT_EQ(m.description, "a\r\nb\r\nc\r\nd");
  auto lines = [](int count, size_t length) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "\r\n" : "") + std::string(length, 'x');
    return text;
  };
  const struct {
    std::string description;
    const char* warning;
  } rows[] = {
      {"", ""},
      {lines(9, 60), ""},
      {lines(10, 0), "description: about 10 lines"},
      {lines(9, 61), "description: about 18 lines"},
      {std::string(540, 'x'), ""},
      {std::string(541, 'x'), "description: about 10 lines"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DescriptionWarning(row.description).rfind(row.warning, 0), 0u) << row.description;
    EXPECT_EQ(DescriptionWarning(row.description).empty(), *row.warning == 0) << row.description;
  }
}

}  // namespace
