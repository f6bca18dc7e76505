#include "read_back.h"

#include <cstdio>

#include "lz/szdd.h"
#include "model/document.h"
#include "model/payload_order.h"
#include "pack.h"
#include "session/header_check.h"

namespace {

// Counts and hashes what the expansion writes.
class DigestSink : public ByteSink {
 public:
  void Write(const uint8_t* data, size_t count) override {
    written += count;
    hash.Update(data, count);
  }
  uint64_t written = 0;
  Sha256 hash;
};

// Opens `path` and refuses, in the updater's words, a file the updater would refuse.
std::unique_ptr<CFile> OpenUpdateFile(const std::string& path) {
  std::unique_ptr<CFile> file = OpenForReading(path);
  UpdateHeader header;
  HeaderRefusal refusal = ReadUpdateHeader(*file, &header);
  if (refusal != HeaderRefusal::none) throw PackError(path + ": " + RefusalMessage(refusal));
  return file;
}

}  // namespace

void ListUpdate(const std::string& path, std::ostream& out) {
  std::unique_ptr<CFile> file = OpenUpdateFile(path);
  VEzorazEdo doc;
  doc.EnsureLoaded(*file);
  out << "Update file:       " << file->FullPath() << "\n";
  out << "Format:            " << doc.formatVersion << " (file type " << doc.fileType
      << ", signature \"" << doc.signature << "\")\n";
  out << "Product:           " << doc.productName << "\n";
  out << "Description:       " << doc.description << "\n";
  out << "Failure message:   " << doc.failureMessage << "\n";
  out << "Default directory: " << doc.defaultDirectory << "\n";
  if (doc.formatVersion >= 6) {
    out << "Registry key:      Software\\" << doc.registryPath[0] << "\\" << doc.registryPath[1]
        << "\\" << doc.registryPath[2] << " (PathName)\n";
  }
  out << "Samples:           " << doc.sampleCount << " x " << doc.sampleLength << " bytes\n";
  out << "Integrity record:  "
      << (doc.integrity.recordPresent ? "yes (SHA-256 of the file and of every new file)" : "none")
      << "\n";
  // A claim nobody checked proves nothing: listing checks no key.
  out << "Signature:         "
      << (doc.integrity.isSigned ? "claims key " + doc.integrity.signer.Hex() +
                                       ", not checked (updpack verify --key checks it)"
                                 : std::string("none"))
      << "\n";
  out << "Files:             " << doc.items.size() << "\n";
  char line[512];
  std::snprintf(line, sizeof line, "  %-3s %-13s %-12s %-16s %-14s %-15s %10s %10s %4s %s\n", "#",
                "action", "kind", "directory", "file", "version", "size", "stored", "prev",
                "component");
  out << line;
  for (size_t i = 0; i < doc.items.size(); ++i) {
    const CUpdateItem& item = *doc.items[i];
    std::string action = ActionName(item.action);
    if (item.exactMatch) action += ",exact";
    std::snprintf(line, sizeof line, "  %-3zu %-13s %-12s %-16s %-14s %-15s %10u %10u %4zu %s%s\n",
                  i + 1, action.c_str(), DirectoryKindName(item.directoryKind),
                  item.directory.c_str(), item.fileName.c_str(),
                  item.expectedStamp.VersionText().c_str(), item.expectedStamp.size,
                  item.payloadLength, item.previousVersions.size(), item.componentName.c_str(),
                  item.selected ? "" : " (not selected)");
    out << line;
  }
}

bool VerifyUpdate(const std::string& path, std::ostream& out, const TrustRequirement& trust) {
  std::unique_ptr<CFile> file = OpenUpdateFile(path);
  // The document alone: the load's checks are made and reported one by one below.
  file->SeekAbsolute(0);
  VEzorazEdo doc;
  uint64_t documentLength;
  {
    ArchiveReader reader(*file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
    doc.ReadFields(reader);
    documentLength = reader.Offset();
    reader.Close();
  }
  uint64_t length = file->Length();
  bool allGood = true;
  auto failed = [&](const std::string& what, const CException& e) {
    out << "  " << what << ": FAILED: " << e.what() << "\n";
    allGood = false;
  };

  IntegrityRecord record;
  bool present = false;
  bool recordGood = false;
  try {
    present = ReadIntegrityRecord(*file, &record);
    if (!present) {
      CheckNoRecordCutShort(*file, documentLength);
      out << "  integrity record: none, the file carries no checksums\n";
    }
  } catch (const CArchiveException& e) {
    failed("integrity record", e);
  }
  if (present) {
    try {
      CheckBody(*file, record);
      AttachContentDigests(record, documentLength, doc.items, 0);
      AttachEntryActions(record, doc.items, 0);
      out << "  integrity record: ok, the file matches its digest\n";
      recordGood = true;
    } catch (const CArchiveException& e) {
      failed("integrity record", e);
    }
  }

  for (size_t i = 0; i < doc.items.size(); ++i) {
    const CUpdateItem& item = *doc.items[i];
    std::string verdict;
    if (item.action == EntryAction::remove) {
      verdict = item.payloadLength == 0 ? "ok, removes a file, nothing stored"
                                        : "FAILED: a removal with stored contents";
    } else if (static_cast<uint64_t>(item.payloadOffset) + item.payloadLength > length) {
      verdict = "FAILED: the stored contents run past the end of the file";
    } else {
      StoredContents source(*file, item.payloadOffset, item.payloadLength);
      DigestSink sink;
      SzddResult result = SzddExpand(source, sink);
      if (!result.ok || sink.written == 0) {
        verdict = "FAILED: the stored contents do not expand";
      } else if (sink.written != item.expectedStamp.size) {
        verdict = "FAILED: expands to " + std::to_string(sink.written) + " bytes, expected " +
                  std::to_string(item.expectedStamp.size);
      } else if (item.hasContentDigest && sink.hash.Finish() != item.contentDigest) {
        verdict = "FAILED: expands to other contents than the integrity record's digest";
      } else {
        verdict = "ok, " + std::to_string(sink.written) + " bytes" +
                  (item.hasContentDigest ? ", digest matches" : "");
      }
    }
    if (verdict.compare(0, 2, "ok") != 0) allGood = false;
    out << "  " << (i + 1) << " " << item.fileName << ": " << verdict << "\n";
  }

  if (present && !recordGood) {
    // A signature vouches for the record's digests; over a failed record it says nothing.
    out << "  signature: not checked, the integrity record failed\n";
    allGood = false;
  } else if (trust.keyRequired) {
    try {
      PublicKey key = RequiredKey(trust);
      CheckSignature(present ? &record : nullptr, key, trust.keyOrigin);
      out << "  signature: ok, by key " << key.Id().Hex() << "\n";
    } catch (const CTrustException& e) {
      failed("signature", e);
    }
  } else if (present && record.isSigned) {
    out << "  signature: claims key " << record.signature.signer.Hex()
        << ", not checked (give the key with --key)\n";
  } else {
    out << "  signature: none\n";
  }
  out << (allGood ? "All " + std::to_string(doc.items.size()) + " entries expand as expected.\n"
                  : std::string("The update file failed verification.\n"));
  return allGood;
}
