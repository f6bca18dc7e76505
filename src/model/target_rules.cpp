#include "model/target_rules.h"

#include <vector>

#include "model/file_name.h"
#include "model/limits.h"
#include "model/paths.h"
#include "model/update_item.h"

namespace {

// Two separators in a row name the same directory as one, so the two spellings would escape
// the check that no two entries name one file.
bool DoubledSeparator(const std::string& directory, size_t from) {
  for (size_t i = from; i + 1 < directory.size(); ++i) {
    bool here = directory[i] == '\\' || directory[i] == '/';
    bool next = directory[i + 1] == '\\' || directory[i + 1] == '/';
    if (here && next) return true;
  }
  return false;
}

const char kDoubled[] = "holds two separators in a row";

std::string ComponentsProblem(const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    std::string problem = FileNameProblem(part);
    if (!problem.empty()) return "\"" + part + "\" " + problem;
  }
  return std::string();
}

std::string SubdirectoryProblem(const std::string& directory) {
  if (!directory.empty() &&
      (directory[0] == '\\' || directory[0] == '/' || directory.find(':') != std::string::npos)) {
    return "must be a subdirectory of the installation directory, not a full path";
  }
  std::vector<std::string> parts = PathComponents(directory);
  for (const std::string& part : parts) {
    if (part == "..") return "climbs out of the installation directory with \"..\"";
  }
  if (DoubledSeparator(directory, 0)) return kDoubled;
  return ComponentsProblem(parts);
}

std::string AbsoluteProblem(const std::string& directory, const std::string& name,
                            TargetRules rules) {
  if (directory.empty()) return "an absolute entry needs its directory";
  char drive = static_cast<char>(directory[0] & ~0x20);
  bool onDrive = directory.size() >= 2 && drive >= 'A' && drive <= 'Z' && directory[1] == ':' &&
                 (directory.size() == 2 || directory[2] == '\\' || directory[2] == '/');
  bool onShare = directory.size() > 2 && directory[0] == '\\' && directory[1] == '\\';
  bool rooted = rules == TargetRules::run && (directory[0] == '\\' || directory[0] == '/');
  if (!onDrive && !onShare && !rooted)
    return "must be a full directory such as C:\\DATA or \\\\SERVER\\SHARE";
  if (directory.find(':', onDrive ? 2 : 0) != std::string::npos) {
    return "names a stream (a \":\" after the drive), not a directory";
  }
  std::string problem = ComponentsProblem(PathComponents(directory.substr(onDrive ? 2 : 0)));
  if (!problem.empty()) return problem;
  if (DoubledSeparator(directory, onShare ? 2 : 0)) return kDoubled;
  if (JoinedPath(directory, name).size() > kMaxPathLength) {
    return "with the file name, the path is longer than " + std::to_string(kMaxPathLength) +
           " characters";
  }
  return std::string();
}

}  // namespace

std::vector<std::string> PathComponents(const std::string& directory) {
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

std::string TargetNameProblem(const std::string& fileName) {
  if (fileName.find_first_of("\\/") != std::string::npos) {
    return "must be a plain file name; put its directory in \"directory\"";
  }
  return FileNameProblem(fileName);
}

std::string TargetDirectoryProblem(uint16_t kind, const std::string& directory,
                                   const std::string& fileName, TargetRules rules) {
  if (kind == kindInstallation) return SubdirectoryProblem(directory);
  if (kind == kindAbsolute) return AbsoluteProblem(directory, fileName, rules);
  return std::string();
}
