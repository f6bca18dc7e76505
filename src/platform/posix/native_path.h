// The one mapping of the engine's Windows paths onto the POSIX file system, used by the
// backend and by the tools that run beside it.
#pragma once

#include <string>

// Turns an engine path (Windows style, backslash-separated) into a POSIX one.
std::string NativePath(const std::string& path);
