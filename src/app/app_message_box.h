// AppMessageBox and the top-level error report: the application's own message boxes,
// captioned with the program's name.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

// The program file's name without directory and extension, e.g. "vareri".
std::string ApplicationTitle();

// `type` with the exclamation icon added when it has no icon and its buttons are OK,
// OK/Cancel, Yes/No or Yes/No/Cancel; other button sets keep no icon.
UINT AppMessageBoxType(UINT type);

// Shows a modal box of AppMessageBoxType(type), captioned ApplicationTitle(), owned by the
// active window. Returns the button.
int AppMessageBox(const std::string& text, UINT type);

// Reports an error that escaped a window message: nothing for CUserException, the
// exclamation icon system-modal for an allocation failure (CMemoryException or
// std::bad_alloc, which the standard library raises), the stop icon for the rest. `error`
// may be null for an error of no known kind; `fromCommand` picks the generic text then.
void ReportError(const std::exception* error, bool fromCommand);
