// DirectoryChooser: the old-style open-file dialog on template 105, with only the
// directory list and the drives shown, used to pick the installation directory.
#pragma once

#include <windows.h>

#include <string>

class DirectoryChooser {
 public:
  // Runs the dialog owned by `owner`. On OK stores the directory the user navigated to
  // (the process's current directory, where the old-style dialog leaves it) and returns
  // true; on Cancel returns false and changes nothing.
  bool Choose(HWND owner, std::string* directory);
};
