#include "platform/posix/native_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/name_case.h"

namespace {

bool Exists(const std::string& native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0;
}

// The entry of `directory` that is `name` as Windows compares names, or "" when there is
// none. A POSIX directory may hold several that differ in case only, which a Windows one
// never does: the least of them is taken, so the choice does not depend on the order the
// directory lists them in.
std::string EntryIgnoringCase(const std::string& directory, const std::string& name) {
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return std::string();
  std::string wanted = FoldedName(name);
  std::string found;
  while (const struct dirent* entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (FoldedName(candidate) == wanted && (found.empty() || candidate < found)) {
      found = candidate;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  if (native.empty() || Exists(native)) return native;
  // From the first component on: each kept as it is when it exists, else looked up in its
  // directory; past the first one found in neither way, the rest stays as given.
  std::string resolved;
  for (size_t start = 0;;) {
    size_t slash = native.find('/', start);
    std::string part = native.substr(start, slash == std::string::npos ? slash : slash - start);
    std::string candidate = resolved + part;
    if (!part.empty() && part != "." && part != ".." && !Exists(candidate)) {
      std::string entry = EntryIgnoringCase(resolved.empty() ? "." : resolved, part);
      if (entry.empty())
        return slash == std::string::npos ? candidate : candidate + native.substr(slash);
      candidate = resolved + entry;
    }
    if (slash == std::string::npos) return candidate;
    resolved = candidate + '/';
    start = slash + 1;
  }
}
