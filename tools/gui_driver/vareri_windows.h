// What the driver knows of vareri.exe's own windows: how to recognise the main window and
// how to read and press the rows of the options dialog's check list.
#pragma once

#include <windows.h>

#include "gui_driver.h"

// A window that has the main window's log list.
gui::WindowMatch IsMainWindow();

// The options dialog's rows: whether a row shows a cross (the centre of its square is
// dark), and points in its left strip (a press there flips it) and on its text (a press
// only selects).
bool RowCrossed(HWND options, int row);
POINT RowStrip(HWND options, int row);
POINT RowText(HWND options, int row);
