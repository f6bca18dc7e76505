// The names a replacement makes next to its target, looked at in the first pass so that an
// update that could not make them changes nothing: the new file's name must be free or hold a
// leftover of this program (the new version an ended run was making, recognised as the start
// of this entry's new contents and in use by no one), and the backup name must be one the
// replacement can take.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/update_error.h"
#include "platform/env.h"

class CUpdateItem;
class VEzorazEdo;
struct RunContext;

// For an entry of the update pass (its verdict says replace) with its path formed: none, or
// cannotWrite (something that is not a leftover of ours has the new file's name) or
// cannotRename (renaming on, the backup name is a directory or a read-only file), the cause in
// run.current. Marks run.current->leftover when the new file's name holds a leftover, which
// the update removes once the first pass has passed. Raises what reading the update file raises.
UpdateError CheckReplacementNames(const CUpdateItem& item, CFile& updateFile, const VEzorazEdo& doc,
                                  RunContext& run);

// The locks of every directory the update of `doc` would write in (each selected entry's
// target and its system fallback, by CanonicalPath), taken before the first pass so that one
// run at a time changes an installation. Raises CException, naming the directory, when
// another run holds one; nothing has been opened then.
std::vector<std::unique_ptr<DirectoryLock>> LockWrittenDirectories(const VEzorazEdo& doc,
                                                                   RunContext& run);
