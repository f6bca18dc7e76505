// How Windows compares file names: without regard to case. The engine's checks of names
// and the POSIX backend's lookup of a Windows tree share this one rule.
#pragma once

#include <string>

// `text` as Windows compares file names: the letters of Windows-1252 in upper case, every
// other byte as it is. Two names name the same file when their folded forms are equal.
std::string FoldedName(const std::string& text);
