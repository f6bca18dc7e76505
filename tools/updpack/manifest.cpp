#include "manifest.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

using nlohmann::json;

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page has no character.
const uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

[[noreturn]] void Fail(const std::string& field, const std::string& message) {
  throw ManifestError(field + ": " + message);
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
  if (!Utf8ToCodePage(value.get<std::string>(), &converted)) {
    Fail(field, "contains a character that Windows-1252 cannot hold");
  }
  if (converted.find('\0') != std::string::npos) Fail(field, "contains a NUL character");
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

std::string ResolvePath(const std::string& path, const std::string& base) {
  std::filesystem::path p(path);
  if (p.is_absolute() || base.empty()) return p.string();
  return (std::filesystem::path(base) / p).string();
}

uint16_t DirectoryKind(const json& file, const std::string& where) {
  std::string field = where + ".directoryKind";
  if (!file.contains("directoryKind")) Fail(field, "missing");
  const json& value = file.at("directoryKind");
  if (value.is_string()) {
    static const char* const kNames[] = {"windows", "system", "installation", "absolute"};
    for (uint16_t i = 0; i < 4; ++i) {
      if (value.get<std::string>() == kNames[i]) return i;
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
  if (out.name.empty() || out.name.find_first_of("\\/:") != std::string::npos) {
    Fail(where + ".name", "must be a plain file name without directory");
  }
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
  if (out.directoryKind == 3 && out.directory.empty()) {
    Fail(where + ".directory", "an absolute entry needs its directory");
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

bool Utf8ToCodePage(const std::string& utf8, std::string* out) {
  out->clear();
  for (size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    uint32_t cp;
    size_t extra;
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
    } else {
      return false;
    }
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size()) return false;
      unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    i += extra + 1;
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[extra]) return false;  // overlong forms hide characters
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out->push_back(static_cast<char>(cp));
      continue;
    }
    bool found = false;
    for (int k = 0; k < 32; ++k) {
      if (kHigh[k] != 0 && kHigh[k] == cp) {
        out->push_back(static_cast<char>(0x80 + k));
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

Manifest ParseManifest(const std::string& text, const std::string& baseDirectory) {
  json root;
  try {
    root = json::parse(text);
  } catch (const json::parse_error& e) {
    throw ManifestError(std::string("manifest is not valid JSON: ") + e.what());
  }
  if (!root.is_object()) Fail("manifest", "must be a JSON object");
  CheckKeys(root, "",
            {"format", "description", "product", "failureMessage", "defaultDirectory", "registry",
             "sampleCount", "sampleLength", "files"});
  Manifest m;
  if (!root.contains("format")) Fail("format", "missing (5 or 6)");
  m.format = Number(root, "format", "", 5, 6, 6);
  m.description = Text(root, "description", "", false);
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
      if (!Utf8ToCodePage(registry[i].get<std::string>(), &m.registry[i])) {
        Fail(field, "contains a character that Windows-1252 cannot hold");
      }
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
  return m;
}
