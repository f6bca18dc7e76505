// Maps errno values to the program's file errors, in one place for the POSIX backend.
#pragma once

#include <string>

#include "platform/exceptions.h"

// The cause of the errno value `error`.
FileCause PosixCause(int error);

// Raises CFileException for `error` (an errno value) while doing `context`.
[[noreturn]] void ThrowPosixError(const std::string& context, int error);
