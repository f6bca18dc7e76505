// Windows paths as the engine forms them: 255 characters at most, joined by one backslash.
#pragma once

#include <string>

#include "model/limits.h"

// `path` and `name` with one backslash between, none when `path` already ends in one (an
// empty path does not: "" and "A.DLL" give "\A.DLL"); an empty name changes nothing.
std::string JoinedPath(const std::string& path, const std::string& name);

// JoinedPath into `path`, a buffer of 256. Returns false, leaving `path` unchanged, when
// the result would exceed 255 characters: a path is never cut to fit.
bool JoinPath(char* path, const std::string& name);

// Copies `text` into `path` (a buffer of 256). Returns false, leaving a shortened copy
// ending in "..." for display only, when it exceeds 255 characters.
bool CopyPath(char* path, const std::string& text);
bool CopyPath(std::string* path, const std::string& text);

// `path` with its last character replaced by '_': D:\APP\A.DLL gives D:\APP\A.DL_.
std::string BackupName(const std::string& path);

// What ends the name of a new version while it is made, next to its target.
constexpr char kNewFileMark[] = "~UPD";

// The name of the new version next to `target` until it takes the target's place: the
// target's name followed by "~UPD" (its file name cut to 251 characters), which fits
// wherever the target fits.
std::string NewFileName(const std::string& target);

// Whether `name` ends in "~UPD" in any case: the name of a new version while it is made.
bool IsNewFileName(const std::string& name);

// The text after the last backslash, or the whole path when it has none.
std::string LastComponent(const std::string& path);

// The text up to and including the last backslash, or "" when there is none.
std::string DirectoryOf(const std::string& path);

// `directory` without its last separator, as a name of its own (a drive's root keeps it).
std::string DirectoryAsName(std::string directory);
