#include "platform/system_directories.h"

SystemDirectories ReadSystemDirectories() {
  return SystemDirectories{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
}
