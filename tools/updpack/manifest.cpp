#include "manifest.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "model/file_name.h"
#include "model/limits.h"
#include "model/name_clashes.h"
#include "model/paths.h"
#include "model/update_item.h"
#include "platform/text.h"

using nlohmann::json;
namespace fs = std::filesystem;

const char* DirectoryKindName(uint16_t kind) {
  static const char* const kNames[] = {"windows", "system", "installation", "absolute"};
  return kind < 4 ? kNames[kind] : "unknown";
}

namespace {

[[noreturn]] void Fail(const std::string& field, const std::string& message) {
  throw ManifestError(field + ": " + message);
}

// Parses JSON text, refusing a key that appears twice in one object: JSON leaves its meaning
// open, and the parser would quietly keep one of the values.
json ParseJson(const std::string& text) {
  struct Open {
    std::string field;  // the object's or array's own name, "" for the root
    bool isArray;
    size_t count;     // elements so far (arrays)
    std::string key;  // the last key (objects)
    std::set<std::string> keys;
  };
  std::vector<Open> open;
  auto nextField = [&open]() -> std::string {
    if (open.empty()) return "";
    const Open& top = open.back();
    if (top.isArray) return top.field + "[" + std::to_string(top.count) + "]";
    return top.field.empty() ? top.key : top.field + "." + top.key;
  };
  auto callback = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        open.push_back(Open{nextField(), event == json::parse_event_t::array_start, 0, "", {}});
        break;
      case json::parse_event_t::key:
        open.back().key = parsed.get<std::string>();
        if (!open.back().keys.insert(open.back().key).second) {
          Fail(nextField(), "appears twice; give each field once");
        }
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        open.pop_back();
        if (!open.empty()) ++open.back().count;
        break;
      case json::parse_event_t::value:
        if (!open.empty()) ++open.back().count;
        break;
    }
    return true;
  };
  try {
    return json::parse(text, callback);
  } catch (const json::parse_error& e) {
    throw ManifestError(std::string("manifest is not valid JSON: ") + e.what());
  }
}

void CheckFilledIn(const std::string& text, const std::string& field) {
  if (text.find(kPlaceholder) != std::string::npos) {
    Fail(field, "still holds a \"" + std::string(kPlaceholder) +
                    "...>\" text from updpack init; write your own text there");
  }
}

// Lone line feeds (and carriage returns) as CR LF: the main window's description box breaks
// lines only there and shows anything else as a mark.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}

// The components of a directory, whichever separator the vendor used.
std::vector<std::string> Components(const std::string& directory) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : directory + "\\") {
    if (c != '\\' && c != '/') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  return parts;
}

void CheckComponents(const std::vector<std::string>& parts, const std::string& field) {
  for (const std::string& part : parts) {
    std::string problem = FileNameProblem(part);
    if (!problem.empty()) Fail(field, "\"" + part + "\" " + problem);
  }
}

void CheckSubdirectory(const std::string& directory, const std::string& field) {
  if (!directory.empty() &&
      (directory[0] == '\\' || directory[0] == '/' || directory.find(':') != std::string::npos)) {
    Fail(field, "must be a subdirectory of the installation directory, not a full path");
  }
  std::vector<std::string> parts = Components(directory);
  for (const std::string& part : parts) {
    if (part == "..") Fail(field, "climbs out of the installation directory with \"..\"");
  }
  CheckComponents(parts, field);
}

void CheckAbsolute(const std::string& directory, const std::string& name,
                   const std::string& field) {
  char drive = directory.empty() ? 0 : static_cast<char>(directory[0] & ~0x20);
  bool onDrive = directory.size() >= 2 && drive >= 'A' && drive <= 'Z' && directory[1] == ':' &&
                 (directory.size() == 2 || directory[2] == '\\' || directory[2] == '/');
  bool onShare = directory.size() > 2 && directory[0] == '\\' && directory[1] == '\\';
  if (!onDrive && !onShare) {
    Fail(field, "must be a full directory such as C:\\DATA or \\\\SERVER\\SHARE");
  }
  if (directory.find(':', onDrive ? 2 : 0) != std::string::npos) {
    Fail(field, "names a stream (a \":\" after the drive), not a directory");
  }
  CheckComponents(Components(directory.substr(2)), field);
  if (JoinedPath(directory, name).size() > kMaxPathLength) {
    Fail(field, "with the file name, the path is longer than " + std::to_string(kMaxPathLength) +
                    " characters");
  }
}

// The file an entry names, as Windows compares it: its kind, its directory (for the kinds
// that have one) and `name`, letters folded.
std::string TargetKey(const ManifestFile& file, const std::string& name) {
  std::string path;
  if (file.directoryKind == kindInstallation || file.directoryKind == kindAbsolute) {
    for (const std::string& part : Components(file.directory)) path = JoinedPath(path, part);
  }
  return std::to_string(file.directoryKind) + "|" + FoldedName(JoinedPath(path, name));
}

// Two entries for one file, or one entry's file at another's backup name: with "Rename
// previous versions" on, one replacement would destroy the other's file or backup. Reported
// at the first entry that clashes with an earlier one, as a vendor reads the manifest: the
// same file first, then its file as an earlier backup name, then its backup name as an
// earlier file, naming the latest such entry. A name ending in '_' is fine when renaming is
// off, so it is not refused here.
void CheckTargets(const std::vector<ManifestFile>& files) {
  std::vector<NamedEntry> named(files.size());
  for (size_t i = 0; i < files.size(); ++i) named[i].names = {TargetKey(files[i], files[i].name)};
  const Clash* first = nullptr;
  size_t firstLater = 0;
  const std::vector<Clash> clashes = FindNameClashes(named, true);
  for (const Clash& clash : clashes) {
    if (clash.cause == NameClash::backupIsItself) continue;
    // From the later entry's side: the earlier one's target or backup name it meets.
    size_t later = std::max(clash.entry, clash.other);
    if (clash.entry != later) continue;
    auto rank = [](NameClash cause) {
      return cause == NameClash::sameTarget ? 0 : cause == NameClash::targetIsBackup ? 1 : 2;
    };
    if (!first || later < firstLater ||
        (later == firstLater &&
         (rank(clash.cause) < rank(first->cause) ||
          (rank(clash.cause) == rank(first->cause) && clash.other > first->other)))) {
      first = &clash;
      firstLater = later;
    }
  }
  if (!first) return;
  const ManifestFile& file = files[first->entry];
  std::string field = "files[" + std::to_string(first->entry) + "].name";
  std::string other = "files[" + std::to_string(first->other) + "]";
  switch (first->cause) {
    case NameClash::sameTarget:
      Fail(field, file.name + " is the file of " + other + " too; list each file once");
    case NameClash::targetIsBackup:
      Fail(field, file.name + " is the backup name of " + other +
                      ": renaming previous versions would replace it");
    default:
      Fail(field, "its backup name " + BackupName(file.name) + " is the file of " + other +
                      ": renaming previous versions would replace it");
  }
}

void CheckKeys(const json& object, const std::string& where, const std::set<std::string>& known) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (!known.count(it.key())) {
      Fail(where.empty() ? it.key() : where + "." + it.key(), "unknown field");
    }
  }
}

std::string Text(const json& object, const std::string& key, const std::string& where,
                 bool required, const std::string& fallback = "") {
  std::string field = where.empty() ? key : where + "." + key;
  if (!object.contains(key)) {
    if (required) Fail(field, "missing");
    return fallback;
  }
  const json& value = object.at(key);
  if (!value.is_string()) Fail(field, "must be a string");
  std::string converted;
  std::string problem;
  if (!Utf8ToCodePage(value.get<std::string>(), &converted, &problem)) {
    Fail(field, "contains " + problem + ", which Windows-1252 cannot hold");
  }
  if (converted.find('\0') != std::string::npos) Fail(field, "contains a NUL character");
  CheckFilledIn(converted, field);
  return converted;
}

uint16_t Number(const json& object, const std::string& key, const std::string& where, int low,
                int high, uint16_t fallback) {
  std::string field = where.empty() ? key : where + "." + key;
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high) {
    Fail(field,
         "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return static_cast<uint16_t>(value.get<long long>());
}

// Paths stay UTF-8 from the manifest to the OS: on Windows the narrow forms of
// std::filesystem would read them in the ANSI code page.
std::string ResolvePath(const std::string& path, const std::string& base) {
  fs::path p = fs::u8path(path);
  if (p.is_absolute() || base.empty()) return p.u8string();
  return (fs::u8path(base) / p).u8string();
}

uint16_t DirectoryKind(const json& file, const std::string& where) {
  std::string field = where + ".directoryKind";
  if (!file.contains("directoryKind")) Fail(field, "missing");
  const json& value = file.at("directoryKind");
  if (value.is_string()) {
    for (uint16_t i = 0; i < 4; ++i) {
      if (value.get<std::string>() == DirectoryKindName(i)) return i;
    }
  } else if (value.is_number_integer() && value.get<long long>() >= 0 &&
             value.get<long long>() <= 3) {
    return static_cast<uint16_t>(value.get<long long>());
  }
  Fail(field, "must be \"windows\", \"system\", \"installation\", \"absolute\" or 0 to 3");
}

ManifestFile ParseFile(const json& file, const std::string& where, const std::string& base) {
  if (!file.is_object()) Fail(where, "must be an object");
  CheckKeys(file, where,
            {"component", "description", "selected", "name", "directoryKind", "directory", "new",
             "previous"});
  ManifestFile out;
  out.name = Text(file, "name", where, true);
  if (out.name.find_first_of("\\/") != std::string::npos) {
    Fail(where + ".name", "must be a plain file name; put its directory in \"directory\"");
  }
  std::string problem = FileNameProblem(out.name);
  if (!problem.empty()) Fail(where + ".name", problem);
  out.component = Text(file, "component", where, false, out.name);
  out.description = Text(file, "description", where, false);
  if (file.contains("selected")) {
    const json& selected = file.at("selected");
    if (selected.is_boolean()) {
      out.defaultSelected = selected.get<bool>() ? 1 : 0;
    } else {
      out.defaultSelected = Number(file, "selected", where, 0, 65535, 1);
    }
  }
  out.directoryKind = DirectoryKind(file, where);
  out.directory = Text(file, "directory", where, false);
  if (out.directoryKind == kindAbsolute && out.directory.empty()) {
    Fail(where + ".directory", "an absolute entry needs its directory");
  }
  if (out.directoryKind == kindInstallation) CheckSubdirectory(out.directory, where + ".directory");
  if (out.directoryKind == kindAbsolute) {
    CheckAbsolute(out.directory, out.name, where + ".directory");
  }
  if (!file.contains("new") || !file.at("new").is_string() ||
      file.at("new").get<std::string>().empty()) {
    Fail(where + ".new", "must name the new version's file");
  }
  out.newPath = ResolvePath(file.at("new").get<std::string>(), base);
  if (file.contains("previous")) {
    const json& previous = file.at("previous");
    if (!previous.is_array()) Fail(where + ".previous", "must be a list of file paths");
    for (size_t i = 0; i < previous.size(); ++i) {
      if (!previous[i].is_string() || previous[i].get<std::string>().empty()) {
        Fail(where + ".previous[" + std::to_string(i) + "]", "must be a file path");
      }
      out.previousPaths.push_back(ResolvePath(previous[i].get<std::string>(), base));
    }
  }
  return out;
}

}  // namespace

std::string DescriptionWarning(const std::string& description) {
  size_t lines = 0;
  for (size_t start = 0; !description.empty();) {
    size_t end = description.find("\r\n", start);
    if (end == std::string::npos) end = description.size();
    size_t length = end - start;
    lines += length == 0 ? 1 : (length + kDescriptionBoxColumns - 1) / kDescriptionBoxColumns;
    if (end == description.size()) break;
    start = end + 2;
  }
  if (lines <= kDescriptionBoxLines) return "";
  return "description: about " + std::to_string(lines) + " lines; the main window shows about " +
         std::to_string(kDescriptionBoxLines) + " lines of about " +
         std::to_string(kDescriptionBoxColumns) +
         " characters and cannot "
         "scroll: shorten it";
}

Manifest ParseManifest(const std::string& text, const std::string& baseDirectory) {
  json root = ParseJson(text);
  if (!root.is_object()) Fail("manifest", "must be a JSON object");
  CheckKeys(root, "",
            {"format", "description", "product", "failureMessage", "defaultDirectory", "registry",
             "sampleCount", "sampleLength", "files"});
  Manifest m;
  if (!root.contains("format")) Fail("format", "missing (5 or 6)");
  m.format = Number(root, "format", "", kOldestFormat, kNewestFormat, kNewestFormat);
  m.description = WithCrLf(Text(root, "description", "", false));
  m.product = Text(root, "product", "", true);
  m.failureMessage = Text(root, "failureMessage", "", false);
  m.defaultDirectory = Text(root, "defaultDirectory", "", true);
  if (root.contains("registry")) {
    const json& registry = root.at("registry");
    if (m.format < 6) Fail("registry", "only format 6 carries registry strings");
    if (!registry.is_array() || registry.size() != 3) {
      Fail("registry", "must be a list of three strings");
    }
    for (size_t i = 0; i < 3; ++i) {
      std::string field = "registry[" + std::to_string(i) + "]";
      if (!registry[i].is_string()) Fail(field, "must be a string");
      std::string problem;
      if (!Utf8ToCodePage(registry[i].get<std::string>(), &m.registry[i], &problem)) {
        Fail(field, "contains " + problem + ", which Windows-1252 cannot hold");
      }
      if (m.registry[i].find('\0') != std::string::npos) {
        Fail(field, "contains a NUL character, which ends a registry key's name");
      }
      CheckFilledIn(m.registry[i], field);
    }
  } else if (m.format == 6) {
    Fail("registry", "format 6 needs the three registry key parts");
  }
  m.sampleCount = Number(root, "sampleCount", "", 1, 65535, 8);
  m.sampleLength = Number(root, "sampleLength", "", 0, 1024, 16);
  if (!root.contains("files") || !root.at("files").is_array()) {
    Fail("files", "must be a list of file entries");
  }
  const json& files = root.at("files");
  for (size_t i = 0; i < files.size(); ++i) {
    m.files.push_back(ParseFile(files[i], "files[" + std::to_string(i) + "]", baseDirectory));
  }
  CheckTargets(m.files);
  return m;
}
