// The system's fixed sizes, each in one place: the formats it reads, the lengths of the paths
// it forms and keeps, and the room of the main window's description box. The dialog template
// (resources/vareri.rc) takes the box's size from here too, so this header holds plain
// preprocessor values where the resource compiler reads it.
#pragma once

// The description box, control 1003 of the main window, in dialog units. Its 8-point font
// gives a line 8 units high and characters about 4 units wide.
#define VARERI_DESCRIPTION_BOX_WIDTH 237
#define VARERI_DESCRIPTION_BOX_HEIGHT 76

#ifndef RC_INVOKED
#include <cstddef>
#include <cstdint>

// The format versions this program reads: 5, and 6 with the registry strings.
constexpr uint16_t kOldestFormat = 5;
constexpr uint16_t kNewestFormat = 6;

// A path the engine forms (a target, a backup, an installation directory): at most 255
// characters and the terminator. Longer paths are refused, never cut.
constexpr size_t kPathSize = 256;
constexpr size_t kMaxPathLength = kPathSize - 1;

// The update file's own path: at most 259 characters and the terminator.
constexpr size_t kUpdateFilePathSize = 260;

// One component of a path (a file or directory name): at most 255 characters.
constexpr size_t kMaxNameLength = 255;

// The program's own path and the file-type texts made from it: 260 bytes.
constexpr size_t kProgramPathSize = 260;

// What the description box shows without scrolling: about 9 lines of about 60 characters.
constexpr size_t kDescriptionBoxLines = VARERI_DESCRIPTION_BOX_HEIGHT / 8;
constexpr size_t kDescriptionBoxColumns = (VARERI_DESCRIPTION_BOX_WIDTH + 3) / 4;

// The longest description the box is given, in characters as stored (CR LF line ends). Its
// cost of laying text out grows with the square of the length: one line of 256 KiB kept the
// main window from showing for more than a minute, so one of 4 KiB, 64 times shorter, takes
// some 15 ms. That is still over seven times what the box shows.
constexpr size_t kMaxDescriptionLength = 4096;
#endif
