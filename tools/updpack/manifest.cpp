#include "manifest.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "manifest_paths.h"
#include "model/file_name.h"
#include "model/limits.h"
#include "model/target_rules.h"
#include "model/update_item.h"
#include "platform/text.h"
#include "strict_json.h"

using nlohmann::json;
namespace fs = std::filesystem;

const char* DirectoryKindName(uint16_t kind) {
  static const char* const kNames[] = {"windows", "system", "installation", "absolute"};
  return kind < 4 ? kNames[kind] : "unknown";
}

namespace {

// Every text that still holds one of init's placeholders, named as the errors name fields,
// in the order the manifest has them.
void FindPlaceholders(const nlohmann::ordered_json& value, const std::string& where,
                      std::vector<std::string>* found) {
  if (value.is_string()) {
    if (value.get_ref<const std::string&>().find(kPlaceholder) != std::string::npos) {
      found->push_back(where.empty() ? "manifest" : where);
    }
  } else if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      FindPlaceholders(it.value(), where.empty() ? it.key() : where + "." + it.key(), found);
    }
  } else if (value.is_array()) {
    for (size_t i = 0; i < value.size(); ++i) {
      FindPlaceholders(value[i], where + "[" + std::to_string(i) + "]", found);
    }
  }
}

// Refuses a manifest that still holds placeholders, naming all of them at once.
void CheckFilledIn(const std::string& text) {
  std::vector<std::string> found;
  FindPlaceholders(nlohmann::ordered_json::parse(text), "", &found);
  if (found.empty()) return;
  std::string fields = found[0];
  for (size_t k = 1; k < found.size(); ++k) {
    fields += (k + 1 < found.size() ? ", " : " and ") + found[k];
  }
  FailField(fields, std::string(found.size() == 1 ? "still holds" : "still hold") + " a \"" +
                        kPlaceholder + "...>\" text from updpack init; write your own text " +
                        (found.size() == 1 ? "there" : "in each"));
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

void CheckKeys(const json& object, const std::string& where, const std::set<std::string>& known) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (!known.count(it.key())) {
      FailField(where.empty() ? it.key() : where + "." + it.key(), "unknown field");
    }
  }
}

std::string Text(const json& object, const std::string& key, const std::string& where,
                 bool required, const std::string& fallback = "") {
  std::string field = where.empty() ? key : where + "." + key;
  if (!object.contains(key)) {
    if (required) FailField(field, "missing");
    return fallback;
  }
  const json& value = object.at(key);
  if (!value.is_string()) FailField(field, "must be a string");
  std::string converted;
  std::string problem;
  if (!Utf8ToCodePage(value.get<std::string>(), &converted, &problem)) {
    FailField(field, "contains " + problem + ", which Windows-1252 cannot hold");
  }
  if (converted.find('\0') != std::string::npos) FailField(field, "contains a NUL character");
  return converted;
}

uint16_t Number(const json& object, const std::string& key, const std::string& where, int low,
                int high, uint16_t fallback) {
  std::string field = where.empty() ? key : where + "." + key;
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high) {
    FailField(field,
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
  if (!file.contains("directoryKind")) FailField(field, "missing");
  const json& value = file.at("directoryKind");
  if (value.is_string()) {
    for (uint16_t i = 0; i < 4; ++i) {
      if (value.get<std::string>() == DirectoryKindName(i)) return i;
    }
  } else if (value.is_number_integer() && value.get<long long>() >= 0 &&
             value.get<long long>() <= 3) {
    return static_cast<uint16_t>(value.get<long long>());
  }
  FailField(field, "must be \"windows\", \"system\", \"installation\", \"absolute\" or 0 to 3");
}

ManifestFile ParseFile(const json& file, const std::string& where, const std::string& base) {
  if (!file.is_object()) FailField(where, "must be an object");
  CheckKeys(file, where,
            {"component", "description", "selected", "name", "directoryKind", "directory", "new",
             "previous", "action", "match"});
  ManifestFile out;
  std::string action = Text(file, "action", where, false, "replace");
  if (action == "add") {
    out.action = EntryAction::add;
  } else if (action == "remove") {
    out.action = EntryAction::remove;
  } else if (action != "replace") {
    FailField(where + ".action", "must be \"replace\", \"add\" or \"remove\"");
  }
  std::string match = Text(file, "match", where, false, "samples");
  if (match != "samples" && match != "exact") {
    FailField(where + ".match", "must be \"samples\" or \"exact\"");
  }
  out.exact = match == "exact";
  out.name = Text(file, "name", where, true);
  std::string problem = TargetNameProblem(out.name);
  if (!problem.empty()) FailField(where + ".name", problem);
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
  problem = TargetDirectoryProblem(out.directoryKind, out.directory, out.name);
  if (!problem.empty()) FailField(where + ".directory", problem);
  if (out.action == EntryAction::remove) {
    if (file.contains("new")) FailField(where + ".new", "a removal brings no new version");
  } else if (!file.contains("new") || !file.at("new").is_string() ||
             file.at("new").get<std::string>().empty()) {
    FailField(where + ".new", "must name the new version's file");
  } else {
    out.newPath = ResolvePath(file.at("new").get<std::string>(), base);
  }
  if (file.contains("previous")) {
    const json& previous = file.at("previous");
    if (!previous.is_array()) FailField(where + ".previous", "must be a list of file paths");
    for (size_t i = 0; i < previous.size(); ++i) {
      if (!previous[i].is_string() || previous[i].get<std::string>().empty()) {
        FailField(where + ".previous[" + std::to_string(i) + "]", "must be a file path");
      }
      out.previousPaths.push_back(ResolvePath(previous[i].get<std::string>(), base));
    }
  }
  if (out.action == EntryAction::add && !out.previousPaths.empty()) {
    FailField(where + ".previous", "an added file has no previous version");
  }
  if (out.action == EntryAction::remove && out.previousPaths.empty()) {
    FailField(where + ".previous", "must list the versions the removal takes away");
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
  if (!root.is_object()) FailField("manifest", "must be a JSON object");
  CheckFilledIn(text);
  CheckKeys(root, "",
            {"format", "description", "product", "failureMessage", "defaultDirectory", "registry",
             "sampleCount", "sampleLength", "files"});
  Manifest m;
  if (!root.contains("format")) FailField("format", "missing (5 or 6)");
  m.format = Number(root, "format", "", kOldestFormat, kNewestFormat, kNewestFormat);
  m.description = WithCrLf(Text(root, "description", "", false));
  if (m.description.size() > kMaxDescriptionLength) {
    FailField("description", "has " + std::to_string(m.description.size()) +
                                 " characters (line ends as CR LF); the main window takes at "
                                 "most " +
                                 std::to_string(kMaxDescriptionLength) + ": shorten it");
  }
  m.product = Text(root, "product", "", true);
  m.failureMessage = Text(root, "failureMessage", "", false);
  m.defaultDirectory = Text(root, "defaultDirectory", "", true);
  if (root.contains("registry")) {
    const json& registry = root.at("registry");
    if (m.format < 6) FailField("registry", "only format 6 carries registry strings");
    if (!registry.is_array() || registry.size() != 3) {
      FailField("registry", "must be a list of three strings");
    }
    for (size_t i = 0; i < 3; ++i) {
      std::string field = "registry[" + std::to_string(i) + "]";
      if (!registry[i].is_string()) FailField(field, "must be a string");
      std::string problem;
      if (!Utf8ToCodePage(registry[i].get<std::string>(), &m.registry[i], &problem)) {
        FailField(field, "contains " + problem + ", which Windows-1252 cannot hold");
      }
      if (m.registry[i].find('\0') != std::string::npos) {
        FailField(field, "contains a NUL character, which ends a registry key's name");
      }
    }
  } else if (m.format == 6) {
    FailField("registry", "format 6 needs the three registry key parts");
  }
  m.sampleCount = Number(root, "sampleCount", "", 1, 65535, 8);
  // Samples of no bytes look at nothing: a changed file would pass for the previous version.
  m.sampleLength = Number(root, "sampleLength", "", 1, 1024, 16);
  if (!root.contains("files") || !root.at("files").is_array()) {
    FailField("files", "must be a list of file entries");
  }
  const json& files = root.at("files");
  for (size_t i = 0; i < files.size(); ++i) {
    m.files.push_back(ParseFile(files[i], "files[" + std::to_string(i) + "]", baseDirectory));
  }
  CheckTargets(m.files);
  return m;
}
