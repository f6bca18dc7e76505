// Which key a run needs, decided by what the run would change and never by the update file:
// every directory a selected entry would write (its target, both paths of the system
// directory's fallback, the backup name) is resolved to its canonical name and matched with
// the trust store's entries. The file must carry a valid signature by the key of every entry
// that covers one of them, of the product's recorded UpdateKey, and of a key the user gave;
// with the machine policy on, every target must be covered.
#pragma once

#include "model/integrity_check.h"
#include "platform/trust_store.h"

class VEzorazEdo;
struct RunContext;

// Decides for the run `run` is about to make over `document`, whose entries' paths are formed
// and whose load found `document.integrity`; `given` is a key the user named (vareri-cli
// --key), not required when keyRequired is false. Marks `document.integrity` verified when a
// key was checked. Raises CTrustException, nothing having been opened, when the store cannot
// be read or holds an entry that is not one, when two keys are required, when the policy finds
// a target no entry covers, or when the file is not validly signed by the key required.
void DecideTrust(VEzorazEdo& document, const RunContext& run, const TrustStoreLocation& store,
                 const TrustRequirement& given);
