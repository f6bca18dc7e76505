// Where an update may put a file, as Windows reads names: a plain file name Windows can store
// under its own name, a subdirectory that stays inside the installation directory, a full
// directory that names no stream. A name Windows would read as another (a trailing dot or
// blank, "." and "..", a device, a "\\?\" path) could reach a file the update does not list.
// updpack refuses to build such an entry, and the updater refuses to touch one: one rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Why `fileName` cannot be an entry's file name, or "": it must be one component
// (FileNameProblem), without a directory.
std::string TargetNameProblem(const std::string& fileName);

// Who asks: updpack builds only what names one place wherever it is installed; the updater
// also takes an absolute directory rooted without a drive ("\DATA", the current drive's on
// Windows, the tree's root natively), as files from other tools may name one.
enum class TargetRules { build, run };

// Why the directory of an entry of `kind` cannot hold `fileName`, or "": for the installation
// kind a subdirectory (either separator) that stays inside (no drive, no leading separator,
// no ".."); for the absolute kind a full directory (C:\DATA or \\SERVER\SHARE) that names no
// stream and with the file name fits the updater's paths; every component a name Windows can
// store. The other kinds have no directory.
std::string TargetDirectoryProblem(uint16_t kind, const std::string& directory,
                                   const std::string& fileName,
                                   TargetRules rules = TargetRules::build);

// The components of a directory, whichever separator it uses.
std::vector<std::string> PathComponents(const std::string& directory);
