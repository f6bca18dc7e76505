// How Windows compares file names: without regard to case. The engine's checks of names
// and the POSIX backend's lookup of a Windows tree share this one rule.
#pragma once

#include <string>

// `text` as Windows compares file names: the letters of Windows-1252 in upper case, every
// other byte as it is. Two names name the same file when their folded forms are equal.
std::string FoldedName(const std::string& text);

// Whether `a` and `b` name the same file as Windows compares names: FoldedName(a) ==
// FoldedName(b), without making either (a directory's entries are compared by the thousand).
bool SameFileName(const char* a, const std::string& b);
