// Writes update files from a plain description of their contents. The build tool uses
// it for real files; tests use its knobs (length forms, long tags, raw header values)
// to produce any file the reader must accept or refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "model/file_stamp.h"
#include "model/limits.h"
#include "model/update_header.h"

struct OrderPlan {
  uint16_t unusedWord = 0;
  std::string unusedText1;
  std::string unusedText2;
  CFileStamp stamp;
  std::vector<uint8_t> fingerprint;
};

struct ItemPlan {
  std::string componentName;
  std::string description;
  uint16_t defaultSelected = 1;
  std::string fileName;
  uint16_t unusedWord = 0;
  uint16_t directoryKind = 2;
  std::string directory;
  std::vector<OrderPlan> previousVersions;
  CFileStamp expectedStamp;
  std::vector<uint8_t> payload;  // stored bytes, exactly as they go into the file
};

// The header as it is written (the registry strings for format 6 and later), the items, and
// the fingerprint parameters.
struct DocumentPlan : UpdateHeader {
  DocumentPlan() {
    fileType = kUpdateFileType;
    formatVersion = kOldestFormat;
    signature = kUpdateSignature;
  }
  std::vector<ItemPlan> items;
  uint16_t sampleCount = 0;
  uint16_t sampleLength = 0;

  // How to encode: all are valid forms the reader accepts.
  StringForm stringForm = StringForm::shortest;
  bool longCounts = false;
  bool longTags = false;
};

// Where the writer put each payload, in item order, previous versions in item order.
struct DocumentOffsets {
  std::vector<uint32_t> payloadOffsets;
  std::vector<std::vector<uint32_t>> fingerprintOffsets;
};

// Returns the bytes of the update file described by `plan`.
std::vector<uint8_t> WriteDocument(const DocumentPlan& plan, DocumentOffsets* offsets = nullptr);

// The parts of WriteDocument, for a writer that streams each item's stored contents itself:
// the header up to and including the item count; an item's record up to its PayloadRecord
// (the fingerprints' offsets, as `writer` counts them, appended to `fingerprintOffsets` when
// given); the two fingerprint parameters that end the document.
void WriteHeader(ArchiveWriter& writer, const DocumentPlan& plan, uint32_t itemCount);
void WriteItemHead(ArchiveWriter& writer, const DocumentPlan& plan, const ItemPlan& item,
                   std::vector<uint32_t>* fingerprintOffsets);
void WriteTrailer(ArchiveWriter& writer, const DocumentPlan& plan);

// Writes the 16-byte stamp record.
void WriteStamp(ArchiveWriter& writer, const CFileStamp& stamp);
