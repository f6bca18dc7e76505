// The one mapping of the engine's Windows paths onto the POSIX file system, used by the
// backend and by the tools that run beside it.
#pragma once

#include <string>

// Turns an engine path (Windows style, backslash-separated) into a POSIX one. The tree may
// be a Windows one (a mounted volume, a Wine prefix), where names are found in any case:
// a component missing under its own name is the directory's entry that differs from it in
// case alone (quill.exe for QUILL.EXE). Costs one lstat when the whole path exists (and a
// stat of its directories, once, when another program made it since it was looked up
// missing); a directory is listed again only when it changed (directory_listings.h).
std::string NativePath(const std::string& path);
