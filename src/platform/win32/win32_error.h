// Maps Win32 error codes to the program's file errors, in one place for the Win32 backend.
#pragma once

#include <string>

#include "platform/exceptions.h"

// The cause of the Win32 error `code`.
FileCause Win32Cause(unsigned long code);

// True for the refusals that pass: another program (a scanner looking at a new program) has
// the file open, or a lock on it, for a moment.
bool Passing(unsigned long code);

// Raises CFileException for GetLastError() while doing `context`.
[[noreturn]] void ThrowWin32Error(const std::string& context);

// Raises CFileException for the Win32 error `code` while doing `context`.
[[noreturn]] void ThrowWin32Error(const std::string& context, unsigned long code);
