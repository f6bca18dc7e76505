// CUpdateItem: one target file of the update, the unit the user selects. Owns its
// previous-version records; the new contents stay in the update file at payloadOffset.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_reader.h"
#include "model/file_stamp.h"
#include "model/update_order.h"

// Base directory of a file entry's target path.
enum DirectoryKind : uint16_t {
  kindWindows = 0,
  kindSystem = 1,
  kindInstallation = 2,
  kindAbsolute = 3,
};

// Outcome of the last verification of an entry.
enum Verdict : uint16_t {
  verdictUpdate = 0,
  verdictUpToDate = 1,
  verdictNewer = 2,
};

class CUpdateItem : public CObject {
 public:
  static const ClassInfo kClass;

  const ClassInfo* GetRuntimeClass() const override { return &kClass; }
  // Reads the item record, sets `selected` from `defaultSelected`, reads the previous
  // versions and locates the new contents.
  void ReadFields(ArchiveReader& reader) override;

  // Read from the file.
  std::string componentName;
  std::string description;
  uint16_t defaultSelected = 0;
  std::string fileName;
  uint16_t unusedWord = 0;
  uint16_t directoryKind = 0;
  std::string directory;
  ObjectList<CUpdateOrder> previousVersions;
  CFileStamp expectedStamp;
  uint32_t payloadOffset = 0;
  uint32_t payloadLength = 0;

  // Run-time state.
  bool selected = false;
  bool pendingSelected = false;
  char targetPath[256] = {};
  CFileStamp installedStamp;
  uint16_t verdict = verdictUpdate;
};
