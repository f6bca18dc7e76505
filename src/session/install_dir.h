// The installation directory a run is proposed: the registry for format 6 files, else the
// update file's default directory by the drive rule.
#pragma once

#include <string>

#include "model/update_header.h"

// D unchanged when its second character is ':', else "C:", a backslash unless D starts
// with one, then D. An empty D gives "C:\".
std::string ApplyDriveRule(const std::string& directory);

// The installation directory the window proposes: for format 6, the "PathName" value under
// HKLM\Software\<p1>\<p2>\<p3> when ReadInstallPath finds it (never on the POSIX build),
// else the default directory by the drive rule.
std::string ProposeInstallDir(const UpdateHeader& header);
