// What Windows accepts as one component of a path, and how it compares names. The build
// tool refuses the targets these rules reject; the engine's checks of targets share them.
#pragma once

#include <string>

// Why `name` (one path component, 8-bit text) cannot name a file on Windows, or "" when it
// can. Refused: "", "." and "..", more than 255 characters, the characters <>:"/\|?* and
// control characters, a trailing dot or space (Windows drops them, so the name would open
// another file), and reserved device names with or without an extension.
std::string FileNameProblem(const std::string& name);

// Whether `name`, with or without an extension, opens a device instead of a file:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and LPT1-9 (and COM/LPT with a superscript
// digit), in any case, with spaces before the extension ignored as Windows ignores them.
bool IsReservedDeviceName(const std::string& name);

// `text` as Windows compares file names: the letters of Windows-1252 in upper case, every
// other byte as it is. Two names name the same file when their folded forms are equal.
std::string FoldedName(const std::string& text);
