// The update file's path on the command line.
#pragma once

#include <string>

// The rest of `commandLine` after the program's name and the blanks and control
// characters that follow it, verbatim: quotes kept, trailing blanks kept. The name ends
// at its closing quote if it begins with one, else at the first blank or control character
// (DEL included).
std::string PathFromCommandLine(const char* commandLine);
