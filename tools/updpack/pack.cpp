#include "pack.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "archive/integrity_record.h"
#include "model/document.h"
#include "model/payload_order.h"
#include "ordered_work.h"
#include "output_file.h"
#include "prepare_entry.h"
#include "release_file.h"
#include "signing.h"
#include "writer/stored_payload.h"

namespace {

constexpr size_t kPiece = 64 * 1024;

// The update file as it is written: every byte counted against the format's limit, and the
// document's bytes hashed for the integrity record on the way.
class UpdateFileWriter {
 public:
  UpdateFileWriter(const std::string& path, uint64_t limit) : file_(path), limit_(limit) {}

  // Where records are encoded before Flush writes them.
  ArchiveWriter& archive() { return archive_; }

  // Writes what archive() holds; `who` is named if the file would pass its limit.
  void Flush(const std::string& who) {
    Put(staged_.data(), staged_.size(), who);
    staged_.clear();
  }

  void Put(const uint8_t* data, size_t count, const std::string& who) {
    if (count > limit_ - length_) {
      throw PackError(who + ": with it the update file would pass " + std::to_string(limit_) +
                      " bytes, the most its 32-bit offsets reach; split the product into more "
                      "than one update file");
    }
    if (inBody_) body_.Update(data, count);
    file_.Write(data, count);
    length_ += count;
  }

  uint64_t length() const { return length_; }

  // Ends the document: the digest of every byte so far. What follows is its record.
  Sha256Digest EndBody() {
    inBody_ = false;
    return body_.Finish();
  }

  void Commit() { file_.Commit(); }

 private:
  AtomicFile file_;
  uint64_t limit_;
  uint64_t length_ = 0;
  Sha256 body_;
  bool inBody_ = true;
  std::vector<uint8_t> staged_;
  ArchiveWriter archive_{staged_};
};

DocumentPlan HeaderPlan(const Manifest& manifest) {
  DocumentPlan plan;
  plan.formatVersion = manifest.format;
  plan.description = manifest.description;
  plan.productName = manifest.product;
  plan.failureMessage = manifest.failureMessage;
  plan.defaultDirectory = manifest.defaultDirectory;
  for (int i = 0; i < 3; ++i) plan.registryPath[i] = manifest.registry[i];
  plan.sampleCount = manifest.sampleCount;
  plan.sampleLength = manifest.sampleLength;
  return plan;
}

std::string ProgressLine(const PreparedEntry& entry) {
  return entry.item.fileName + " " + entry.item.expectedStamp.VersionText() + ", " +
         std::to_string(entry.newSize) + " -> " + std::to_string(entry.stored->size()) +
         " bytes, " + std::to_string(entry.item.previousVersions.size()) + " previous version(s)";
}

// The record's entry actions, when any entry needs them: a file of plain replacements, known
// by their samples, reads as it always has.
std::vector<IntegrityField> ActionsFields(const std::vector<EntryExtension>& extensions) {
  for (const EntryExtension& extension : extensions) {
    if (extension.action != EntryAction::replace || extension.exact) {
      return {{kEntryActionsField, EncodeEntryActions(extensions)}};
    }
  }
  return {};
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  AtomicFile file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

void BuildUpdate(const Manifest& manifest, const std::string& outputPath, const PackReport& report,
                 const BuildOptions& options) {
  for (size_t i = 0; i < manifest.files.size(); ++i) {
    const ManifestFile& file = manifest.files[i];
    if (options.plain && (file.action != EntryAction::replace || file.exact)) {
      throw PackError("files[" + std::to_string(i) + (file.exact ? "].match" : "].action") +
                      ": this needs the integrity record; build without --plain");
    }
  }
  DocumentPlan plan = HeaderPlan(manifest);
  std::string tooLong = DescriptionWarning(manifest.description);
  if (!tooLong.empty() && report.warning) report.warning(tooLong);
  UpdateFileWriter out(outputPath, options.limits.updateFile);
  WriteHeader(out.archive(), plan, static_cast<uint32_t>(manifest.files.size()));
  out.Flush("the header");

  unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  // Enough entries ahead that no thread waits while one is written.
  size_t window = 2 * size_t{jobs};
  size_t memoryLimit = options.aheadMemory / window;
  std::vector<IntegrityEntry> contents;
  std::vector<EntryExtension> extensions;
  RunInOrder<PreparedEntry>(
      manifest.files.size(), jobs, window,
      [&](size_t i) {
        return PrepareEntry(manifest, i, options.limits, outputPath, memoryLimit, options.plain);
      },
      [&](size_t i, PreparedEntry& entry) {
        if (report.warning) {
          for (const std::string& warning : entry.warnings) report.warning(warning);
        }
        std::string who = "files[" + std::to_string(i) + "].new: " + manifest.files[i].newPath;
        WriteItemHead(out.archive(), plan, entry.item, nullptr);
        out.archive().WriteDword(static_cast<uint32_t>(entry.stored->size()));
        out.Flush(who);
        entry.stored->Drain([&](const uint8_t* data, size_t count) { out.Put(data, count, who); });
        contents.push_back(entry.content);
        extensions.push_back(entry.extension);
        if (report.progress) report.progress(ProgressLine(entry));
      });
  WriteTrailer(out.archive(), plan);
  out.Flush("the end of the document");

  uint64_t bodyLength = out.length();
  Sha256Digest bodyDigest = out.EndBody();
  if (!options.plain) {
    std::vector<uint8_t> signedPart = EncodeSignedPart(
        static_cast<uint32_t>(bodyLength), bodyDigest, contents, ActionsFields(extensions));
    IntegritySignature signature;
    if (options.signer) {
      signature = options.signer->Sign(Sha256Of(signedPart.data(), signedPart.size()));
    }
    std::vector<uint8_t> record =
        EncodeIntegrityRecord(signedPart, options.signer ? &signature : nullptr);
    out.Put(record.data(), record.size(), "the integrity record");
  }
  out.Commit();
}

void SignUpdate(const std::string& path, const SigningKey& signer) {
  InputFile file(path, "sign");
  IntegrityRecord record;
  if (!ReadIntegrityRecord(file, &record)) {
    throw PackError(path + " has no integrity record to sign; build it again without --plain");
  }
  {
    // The whole load's checks: a damaged file must not be blessed with a signature.
    VEzorazEdo doc;
    doc.EnsureLoaded(file);
  }
  IntegritySignature signature = signer.Sign(record.SignedDigest());
  std::vector<uint8_t> signedRecord = EncodeIntegrityRecord(record.signedPart, &signature);
  {
    AtomicFile out(path);
    file.SeekAbsolute(0);
    std::vector<uint8_t> piece(kPiece);
    for (uint64_t left = record.bodyLength; left > 0;) {
      size_t n = file.Read(piece.data(), static_cast<size_t>(std::min<uint64_t>(left, kPiece)));
      if (n == 0) throw PackError(path + " changed while it was signed; sign it again");
      out.Write(piece.data(), n);
      left -= n;
    }
    out.Write(signedRecord.data(), signedRecord.size());
    file.Close();
    out.Commit();
  }
}
