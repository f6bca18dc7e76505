// What Windows accepts as one component of a path, and how it compares names. The build
// tool refuses the targets these rules reject; the engine's checks of targets share them.
#pragma once

#include <string>

#include "platform/name_case.h"  // FoldedName: how names compare

// Why `name` (one path component, 8-bit text) cannot name a file on Windows, or "" when it
// can. Refused: "", "." and "..", more than 255 characters, the characters <>:"/\|?* and
// control characters, a trailing dot or space (Windows drops them, so the name would open
// another file), and reserved device names with or without an extension.
std::string FileNameProblem(const std::string& name);

// Whether `name` (one path component) opens a device instead of a file: CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with a superscript 1, 2 or 3), in any case,
// alone or before an extension or a colon, blanks before them ignored as Windows ignores
// them. "NUL.TXT" opens the null device.
bool IsReservedDeviceName(const std::string& name);
