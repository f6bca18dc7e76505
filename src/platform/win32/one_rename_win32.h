// A new file put in place under Wine. Wine's ReplaceFile is a series of moves: the installed
// file goes to the backup name, or to a temporary name and is deleted, and only then does the
// new file move in, so a process killed between them leaves no file under the name. It keeps
// nothing a rename does not, and there a rename over the installed file is one atomic step.
#pragma once

#include <optional>
#include <string>

#include "platform/env.h"

// True where ReplaceFile is such a series of moves: under Wine.
bool RenamesInOneStep();

// Whether the names `a` and `b` lead to one file (hard links of each other).
bool SameFile(const std::string& a, const std::string& b);

// Gives `newFile` the name `target` by one rename over the installed file, once the previous
// version has the name `backup` too (a hard link), when one is asked for; `linked`: it has
// that name already. Nothing when the backup cannot be made so: nothing changed, and
// ReplaceFile is left to do it. A rename refused removes the backup name again, where the
// file allows it.
std::optional<ReplaceOutcome> RenameOver(const std::string& newFile, const std::string& target,
                                         const std::string& backup, bool linked);
