// The one name the file system gives a path, however it is spelled: what the trust decisions
// compare, so that a directory reached by another name (a link, a junction, an 8.3 name,
// "." and "..", another letter case, doubled or trailing separators) is the same directory.
#pragma once

#include <string>

// The canonical form of the Windows path `path`, which need not exist, as the OS would reach
// it (a relative path from the current directory): the deepest directory of it that exists,
// as the OS names it (GetFinalPathNameByHandle on Windows after the path is made full as
// Windows makes it; realpath natively, after the backend's own mapping of the path), then the
// rest of the path, its "." and ".." taken away by name. Components are joined by a
// backslash, and a path with nothing after the root ends in one ("C:\", "\" for the native
// root). "" for an empty path, or one the OS cannot make full. Never raises.
std::string CanonicalPath(const std::string& path);

// Whether `path` names a directory wherever the program runs: a drive and a separator, or a
// share ("\\SERVER\SHARE"), and natively also a path from the file system's root ("/srv").
// A relative path would depend on the current directory.
bool IsFullPath(const std::string& path);

// Whether the canonical path `inner` is `outer` or lies under it: compared whole component by
// whole component, letters as Windows compares them.
bool PathContains(const std::string& outer, const std::string& inner);
