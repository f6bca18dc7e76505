// The lock that keeps two updates from changing one installation at once: a mutex named
// after the directory in the machine's namespace, which the OS releases when its holder ends.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"

// Takes the lock of `directory` (canonical). Returns null when another process holds it; an
// empty lock, which holds nothing, when no mutex can be made.
std::unique_ptr<DirectoryLock> LockDirectoryByMutex(const std::string& directory);
