#include "init.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "manifest.h"
#include "model/file_name.h"
#include "model/paths.h"
#include "model/update_item.h"
#include "pack.h"
#include "platform/text.h"
#include "release_file.h"

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

// The fingerprint that init chooses when every previous version is large enough for it.
constexpr SampleParameters kDefaultSamples = {8, 16};

struct ReleaseFile {
  fs::path relative;
  std::string path;  // UTF-8
};

// A release's files by relative path as Windows compares it: "bin/a.dll" and "BIN\A.DLL"
// in two releases are one file.
using Release = std::map<std::string, ReleaseFile>;

std::string Key(const fs::path& relative) {
  std::string text = relative.generic_u8string();
  std::string converted;
  // A name Windows-1252 cannot hold never builds; it is paired as it is spelled.
  return Utf8ToCodePage(text, &converted) ? FoldedName(converted) : text;
}

// The files of one release folder. Names that Windows takes for one ("X1.DLL" and "x1.dll")
// are left out, their key added to `clashed` and their paths to `clashes` ("A and B"): which
// of them a customer has installed cannot be told, so none is paired by guess.
Release Walk(const std::string& directory, const std::string& option,
             std::set<std::string>* clashed, std::vector<std::string>* clashes) {
  fs::path root = fs::u8path(directory);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    throw PackError(option + ": " + directory + " is not a folder");
  }
  std::map<std::string, std::vector<ReleaseFile>> found;
  fs::recursive_directory_iterator it(root, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    fs::path relative = it->path().lexically_relative(root);
    found[Key(relative)].push_back({relative, it->path().u8string()});
  }
  if (ec) throw PackError(option + ": cannot read " + directory + ": " + ec.message());
  Release files;
  for (auto& [key, spellings] : found) {
    if (spellings.size() == 1) {
      files.emplace(key, std::move(spellings[0]));
      continue;
    }
    std::vector<std::string> paths;
    for (const ReleaseFile& file : spellings) paths.push_back(file.path);
    std::sort(paths.begin(), paths.end());
    std::string names = paths[0];
    for (size_t k = 1; k < paths.size(); ++k) {
      names += (k + 1 < paths.size() ? ", " : " and ") + paths[k];
    }
    clashes->push_back(names);
    clashed->insert(key);
  }
  return files;
}

// `file` as the manifest names it: relative to the manifest's folder when it lies inside it
// (the manifest then moves with the releases), else in full.
// Raises PackError naming `file` when its name is not UTF-8, which JSON cannot hold.
std::string ManifestPath(const std::string& file, const fs::path& manifestFolder) {
  fs::path absolute = fs::absolute(fs::u8path(file)).lexically_normal();
  fs::path relative = absolute.lexically_relative(manifestFolder);
  bool inside = !relative.empty() && *relative.begin() != "..";
  std::string path = (inside ? relative : absolute).generic_u8string();
  try {
    (void)Json(path).dump();
  } catch (const Json::type_error&) {
    throw PackError(file + ": the name is not UTF-8 text, which a manifest cannot hold; rename it");
  }
  return path;
}

std::string Placeholder(const std::string& what) { return kPlaceholder + what + ">"; }

Json Header(SampleParameters samples) {
  Json header;
  header["format"] = 6;
  header["product"] = Placeholder("product name");
  header["description"] = Placeholder("what this update brings");
  header["failureMessage"] = Placeholder("what to do when the update fails");
  header["defaultDirectory"] =
      Placeholder("installation directory, such as C:\\Program Files\\Product");
  header["registry"] = {Placeholder("maker"), Placeholder("product"), Placeholder("version")};
  header["sampleCount"] = samples.count;
  header["sampleLength"] = samples.length;
  return header;
}

// What the previous releases hold of one file of the new release.
struct Pairing {
  bool elsewhere = false;      // some previous release has the file
  bool changed = false;        // and some copy of it differs
  bool exact = false;          // its versions are known by their bytes, not by samples
  Json paths = Json::array();  // the differing copies the updater can replace, each once
  uint32_t smallest = UINT32_MAX;
};

bool Unversioned(const CFileStamp& stamp) { return (stamp.versionMS | stamp.versionLS) == 0; }

Pairing Pair(const std::string& key, const ReleaseFile& file, const std::vector<Release>& previous,
             const InitOptions& options, const fs::path& manifestFolder, InitSummary* summary) {
  Pairing pairing;
  std::vector<uint8_t> data = ReadWholeFile(file.path, "--new");
  CFileStamp stamp = ReleaseStamp(file.path, data);
  std::vector<std::vector<uint8_t>> listed;
  bool tooSmall = false;
  for (size_t r = 0; r < previous.size(); ++r) {
    auto copy = previous[r].find(key);
    if (copy == previous[r].end()) continue;
    pairing.elsewhere = true;
    std::vector<uint8_t> old = ReadWholeFile(copy->second.path, "--previous");
    if (old == data) continue;
    pairing.changed = true;
    if (std::find(listed.begin(), listed.end(), old) != listed.end()) continue;
    CFileStamp oldStamp = ReleaseStamp(copy->second.path, old);
    // Two files without a version resource are told apart by their bytes.
    bool byBytes = Unversioned(oldStamp) && Unversioned(stamp);
    std::string problem = byBytes ? "" : NotOlderProblem(oldStamp, stamp);
    if (!problem.empty()) {
      summary->leftOut.push_back(file.relative.generic_u8string() + " in " +
                                 options.previousDirectories[r] + ": " + problem);
      continue;
    }
    pairing.exact = pairing.exact || byBytes;
    tooSmall =
        tooSmall || FittingSamples(static_cast<uint32_t>(old.size()), kDefaultSamples).count == 0;
    pairing.smallest = std::min(pairing.smallest, static_cast<uint32_t>(old.size()));
    pairing.paths.push_back(ManifestPath(copy->second.path, manifestFolder));
    listed.push_back(std::move(old));
  }
  if (pairing.paths.empty()) return pairing;
  std::string shown = file.relative.generic_u8string();
  if (pairing.exact) {
    summary->byBytes.push_back(shown + " (no version resource)");
  } else if (tooSmall) {
    // Too small for samples: matched byte for byte instead, and said so.
    pairing.exact = true;
    summary->byBytes.push_back(shown + " (too small to be told apart by samples)");
  }
  return pairing;
}

// The entry's directory and name; the optional texts are left for the vendor to add.
Json Entry(const ReleaseFile& file) {
  std::string directory;
  for (const fs::path& part : file.relative.parent_path()) {
    directory = directory.empty() ? part.u8string() : JoinedPath(directory, part.u8string());
  }
  Json entry;
  entry["name"] = file.relative.filename().u8string();
  entry["directoryKind"] = DirectoryKindName(kindInstallation);
  entry["directory"] = directory;
  return entry;
}

}  // namespace

InitSummary InitManifest(const InitOptions& options) {
  if (fs::exists(fs::u8path(options.output))) {
    throw PackError(options.output + " exists already; remove it or choose another name");
  }
  fs::path manifestFolder =
      fs::absolute(fs::u8path(options.output)).lexically_normal().parent_path();
  InitSummary summary;
  std::set<std::string> clashed;
  Release release = Walk(options.newDirectory, "--new", &clashed, &summary.clashes);
  std::vector<Release> previous;
  for (const std::string& directory : options.previousDirectories) {
    previous.push_back(Walk(directory, "--previous", &clashed, &summary.clashes));
  }

  Json files = Json::array();
  uint32_t smallest = UINT32_MAX;
  for (const auto& [key, file] : release) {
    if (clashed.count(key)) continue;
    Pairing pairing = Pair(key, file, previous, options, manifestFolder, &summary);
    std::string shown = file.relative.generic_u8string();
    Json entry = Entry(file);
    if (!pairing.elsewhere) {
      summary.added.push_back(shown);
      entry["action"] = "add";
    } else if (!pairing.changed) {
      summary.unchanged.push_back(shown);
      continue;
    } else if (pairing.paths.empty()) {
      continue;  // every differing copy left out, each with its reason
    }
    if (pairing.exact) {
      entry["match"] = "exact";
    } else {
      smallest = std::min(smallest, pairing.smallest);
    }
    entry["new"] = ManifestPath(file.path, manifestFolder);
    if (pairing.elsewhere) entry["previous"] = std::move(pairing.paths);
    files.push_back(std::move(entry));
  }
  // A file the new release no longer has is removed: each distinct copy of it is listed, as
  // only those are taken away.
  struct Removal {
    std::vector<ReleaseFile> copies;
    std::vector<std::vector<uint8_t>> bytes;
  };
  std::map<std::string, Removal> removed;
  for (const Release& old : previous) {
    for (const auto& [key, file] : old) {
      if (release.count(key) || clashed.count(key)) continue;
      Removal& removal = removed[key];
      std::vector<uint8_t> bytes = ReadWholeFile(file.path, "--previous");
      if (std::find(removal.bytes.begin(), removal.bytes.end(), bytes) != removal.bytes.end()) {
        continue;
      }
      removal.copies.push_back(file);
      removal.bytes.push_back(std::move(bytes));
    }
  }
  for (const auto& [key, removal] : removed) {
    summary.removed.push_back(removal.copies[0].relative.generic_u8string());
    Json entry = Entry(removal.copies[0]);
    entry["action"] = "remove";
    Json paths = Json::array();
    for (const ReleaseFile& copy : removal.copies) {
      paths.push_back(ManifestPath(copy.path, manifestFolder));
    }
    entry["previous"] = std::move(paths);
    files.push_back(std::move(entry));
  }

  summary.entries = files.size();
  summary.samples =
      smallest == UINT32_MAX ? kDefaultSamples : FittingSamples(smallest, kDefaultSamples);
  if (summary.entries == 0) return summary;
  Json manifest = Header(summary.samples);
  manifest["files"] = std::move(files);
  std::string text = manifest.dump(2) + "\n";
  WriteFileAtomically(options.output, std::vector<uint8_t>(text.begin(), text.end()));
  return summary;
}
