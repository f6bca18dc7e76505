// What each file entry of an update does, beyond replacing a previous version: add a file, remove
// one, or recognise versions by their exact identity (size and SHA-256) rather than by samples.
// It travels in the integrity record (kEntryActionsField), so a reader that follows the document
// alone never sees it: the entries that add or remove are unselected in the document, and a
// data file the update changes has the same version before and after, so such a reader calls it
// up to date and leaves it alone.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sha256.h"

enum class EntryAction : uint8_t {
  replace = 0,  // lay the new version over a known previous one (the document's own meaning)
  add = 1,      // make the file, which must not be there yet
  remove = 2,   // take a known previous version away
};

// The action's name as the tools show it: "replace", "add" or "remove".
const char* ActionName(EntryAction action);

// A version of a file by its bytes.
struct ExactIdentity {
  uint32_t size = 0;
  Sha256Digest digest;
  bool operator==(const ExactIdentity& other) const {
    return size == other.size && digest == other.digest;
  }
};

struct EntryExtension {
  EntryAction action = EntryAction::replace;
  bool exact = false;        // versions are recognised by their identity (also a versioned file's)
  bool selected = false;     // taken part in by default
  ExactIdentity newVersion;  // add and replace; nothing for remove
  std::vector<ExactIdentity> previous;  // one per previous version of the entry, in order
};

// The field's bytes: a DWORD count, then per entry its action, exact and selected BYTEs and a
// BYTE 0, the new version (DWORD size, 32-byte SHA-256), a DWORD count of previous versions and
// each of them the same way.
std::vector<uint8_t> EncodeEntryActions(const std::vector<EntryExtension>& entries);

// Decodes the field. Raises CArchiveException (generic) for bytes that are not one: cut short,
// bytes left over, an action or flag of no meaning.
std::vector<EntryExtension> DecodeEntryActions(const std::vector<uint8_t>& bytes);
