// The temporary copy that lz32 reads, kept from one expansion to the next while the Win32
// backend holds it (Env::HoldScratch): one file for a whole update instead of one made and
// deleted for each new file.
#pragma once

#include <memory>
#include <string>

#include "lz/byte_stream.h"
#include "platform/env.h"

class ScratchFile;

struct ScratchSlot {
  ScratchSlot();
  ~ScratchSlot();  // deletes the copy kept, if any
  ScratchSlot(const ScratchSlot&) = delete;
  ScratchSlot& operator=(const ScratchSlot&) = delete;

  std::unique_ptr<ScratchFile> file;  // the copy, made by the first expansion
  std::string directory;              // the temporary-files directory it is in
};

// ExpandStored (lz_expand.h) through the copy `slot` keeps, made there when it has none (or
// one in another directory). Without a slot, the copy is made and deleted for this call.
ExpandOutcome ExpandStored(ByteSource& stored, const std::string& tempDirectory, ByteSink& out,
                           ScratchSlot* slot);
