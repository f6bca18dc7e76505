// UpdateError: the engine's per-file result codes and their fixed messages, which the
// runs write to the log as "%s error [%s]".
#pragma once

#include <cstdint>

enum UpdateError : uint16_t {
  none = 0,
  fileNotFound = 1,
  differentDate = 2,
  differentSize = 3,
  differentVersion = 4,
  cantCreateFile = 5,
  previousVersionNotCompatible = 6,
  cannotWrite = 7,
  cannotRename = 8,
  cannotDecompress = 9,
  cannotCreateTemp = 10,
};

// The message of `code`; "" for none and for values outside the table.
const char* UpdateErrorMessage(UpdateError code);

// The code's name as the engine spells it ("fileNotFound"); "" for none and for values
// outside the table.
const char* UpdateErrorName(UpdateError code);
