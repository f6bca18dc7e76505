// updpack's help: the usage lines, which every refusal of a command line repeats, and the
// rest of --help.
#pragma once

// The usage lines, one per command.
extern const char kUpdpackSynopsis[];

// What --help prints after the usage lines: the commands, the options, the manifest.
extern const char kUpdpackDetails[];
