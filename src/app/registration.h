// Registers the program with the shell as the opener of ".upd" files, on every start.
#pragma once

#include <string>

// Sets the default text value of `key` below HKEY_CLASSES_ROOT, creating the key.
// Returns true when the system reports success.
bool SetClassesValue(const std::string& key, const std::string& text);

// Writes "VLR.Update", its open command and icon, and associates ".upd" unless another
// non-empty association exists. Silent: nothing is reported, whatever fails.
void RegisterFileType();
