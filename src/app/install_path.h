// Where the installation directory is proposed from: the registry for format 6 files,
// else the update file's default directory by the drive rule. Beside it in the registry, the
// key the product's updates must be signed by.
#pragma once

#include <string>

// D unchanged when its second character is ':', else "C:", a backslash unless D starts
// with one, then D. An empty D gives "C:\".
std::string ApplyDriveRule(const std::string& directory);

// Reads HKLM\Software\<p1>\<p2>\<p3>, value "PathName", into `buffer` (260 bytes, always
// terminated). Returns 1 when the value was read, 0 otherwise.
int ReadInstallPath(const std::string& p1, const std::string& p2, const std::string& p3,
                    char* buffer);

// Reads the value "UpdateKey" under HKLM\Software\<p1>\<p2>\<p3> (beside "PathName") into
// `text`, up to its first NUL. Returns false when the key cannot be opened or has no such
// value. A value that exists counts whatever it holds, even when it cannot be read (`text`
// is then empty): a recorded key is never taken for no key.
bool ReadUpdateKey(const std::string& p1, const std::string& p2, const std::string& p3,
                   std::string* text);
