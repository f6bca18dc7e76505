#include <sys/stat.h>

#include "host.h"
#include "platform/posix/native_path.h"

HostDirectories DefaultHostDirectories() {
  return HostDirectories{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
