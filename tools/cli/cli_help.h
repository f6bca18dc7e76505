// vareri-cli's name as it signs its messages, and its --help text, which differs between the
// Windows build (the registry) and the POSIX one (paths on a mounted volume).
#pragma once

constexpr char kCliProgram[] = "vareri-cli";

// The text of --help for this build.
const char* CliHelpText();
