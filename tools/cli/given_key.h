// The key vareri-cli is given with --key: its one-line text itself, or a file holding that
// text or a PEM public key. Shared by the runs (one requirement more) and `trust add`.
#pragma once

#include <string>

#include "model/integrity_check.h"
#include "platform/trust_store.h"

// The requirement of the key `value` names. Returns false when `value` names a file that
// cannot be read (*trust is left alone).
bool ReadGivenKey(const std::string& value, TrustRequirement* trust);

// Where the trust store is for this command line: natively `--trust-store FILE`, else the
// environment variable VARERI_TRUST_STORE, else none; Windows keeps it in the registry.
TrustStoreLocation TrustStoreOf(const std::string& trustStoreOption);
