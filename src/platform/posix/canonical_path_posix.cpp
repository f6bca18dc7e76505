// Canonical paths natively: the engine's Windows paths go through the backend's one mapping
// (NativePath, which finds names in any case) and then realpath, as the files themselves are
// opened; the parts that do not exist yet are taken by name.
#include <limits.h>
#include <stdlib.h>

#include <vector>

#include "platform/canonical_path.h"
#include "platform/posix/native_path.h"

namespace {

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "/") {
    if (c != '/' && c != '\\') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  return parts;
}

// A directory's real name, or "" when realpath cannot give one.
std::string Real(const std::string& native) {
  char resolved[PATH_MAX];
  if (!::realpath(native.c_str(), resolved)) return std::string();
  return resolved;
}

}  // namespace

bool IsFullPath(const std::string& path) {
  bool onDrive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return onDrive || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::string CanonicalPath(const std::string& path) {
  if (path.empty()) return std::string();
  std::string native = NativePath(path);
  std::vector<std::string> parts = Split(native);
  bool absolute = !native.empty() && native[0] == '/';
  // The deepest prefix that resolves; at worst the tree's own root.
  size_t known = parts.size();
  std::string base;
  for (;; --known) {
    std::string prefix = absolute ? "/" : ".";
    for (size_t k = 0; k < known; ++k) prefix += (prefix == "/" ? "" : "/") + parts[k];
    base = Real(prefix);
    if (!base.empty() || known == 0) break;
  }
  if (base.empty()) return std::string();
  std::vector<std::string> out = Split(base);
  for (size_t k = known; k < parts.size(); ++k) {
    if (parts[k] == ".") continue;
    if (parts[k] == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(parts[k]);
  }
  std::string text;
  for (const std::string& part : out) text += "\\" + part;
  return text.empty() ? "\\" : text;
}
