#include "platform/posix/native_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

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
  std::string found;
  while (const struct dirent* entry = ::readdir(dir)) {
    if (SameFileName(entry->d_name, name) && (found.empty() || found > entry->d_name)) {
      found = entry->d_name;
    }
  }
  ::closedir(dir);
  return found;
}

// `native` as it exists, its directory resolved first; a name found in neither way is
// kept as given, and so is everything under it.
std::string Resolve(const std::string& native) {
  if (native.empty() || Exists(native)) return native;
  size_t slash = native.rfind('/');
  if (slash == std::string::npos) {
    std::string entry = EntryIgnoringCase(".", native);
    return entry.empty() ? native : entry;
  }
  std::string directory = slash == 0 ? "/" : Resolve(native.substr(0, slash));
  std::string name = native.substr(slash + 1);
  std::string path = directory + (slash == 0 ? "" : "/");
  bool moved = path + name != native;  // else it is known to be missing
  if (name.empty() || name == "." || name == ".." || (moved && Exists(path + name))) {
    return path + name;
  }
  std::string entry = EntryIgnoringCase(directory, name);
  return path + (entry.empty() ? name : entry);
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return Resolve(native);
}
