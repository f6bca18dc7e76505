// Where the installation directory is proposed from: the registry for format 6 files,
// else the update file's default directory by the drive rule.
#pragma once

#include <string>

// D unchanged when its second character is ':', else "C:", a backslash unless D starts
// with one, then D. An empty D gives "C:\".
std::string ApplyDriveRule(const std::string& directory);

// Reads HKLM\Software\<p1>\<p2>\<p3>, value "PathName", into `buffer` (260 bytes, always
// terminated). Returns 1 when the value was read, 0 otherwise.
int ReadInstallPath(const std::string& p1, const std::string& p2, const std::string& p3,
                    char* buffer);
