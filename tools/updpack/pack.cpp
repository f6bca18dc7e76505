#include "pack.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "archive/integrity_record.h"
#include "entry_checks.h"
#include "lz/szdd.h"
#include "model/document.h"
#include "model/payload_order.h"
#include "ordered_work.h"
#include "output_file.h"
#include "release_file.h"
#include "signing.h"
#include "writer/fingerprint.h"
#include "writer/stored_payload.h"

namespace {

constexpr size_t kPiece = 64 * 1024;

// An entry compressed and checked, waiting for its turn in the update file.
struct PreparedEntry {
  ItemPlan item;  // its payload left empty: the stored contents are in `stored`
  std::unique_ptr<StoredPayload> stored;
  IntegrityEntry content;
  EntryExtension extension;  // what the record's entry actions say of it
  uint64_t newSize = 0;
  std::vector<std::string> warnings;  // for the report, in order
};

// A release file read as a ByteSource, hashed on the way.
class HashingSource : public ByteSource {
 public:
  explicit HashingSource(CFile& file) : file_(file) {}
  size_t Read(uint8_t* buffer, size_t count) override {
    size_t n = file_.Read(buffer, count);
    digest_.Update(buffer, n);
    return n;
  }
  Sha256Digest Finish() { return digest_.Finish(); }

 private:
  CFile& file_;
  Sha256 digest_;
};

// Opens a release file the format can describe. Raises PackError.
std::unique_ptr<InputFile> OpenRelease(const std::string& path, const std::string& field,
                                       const FormatLimits& limits) {
  auto file = std::make_unique<InputFile>(path, field);
  if (file->Length() > limits.file) {
    throw PackError(field + ": " + path + " has " + std::to_string(file->Length()) +
                    " bytes; an update file describes files of at most " +
                    std::to_string(limits.file) + " bytes; leave it out of the update");
  }
  return file;
}

CFileStamp StampOf(InputFile& file, std::vector<std::string>& warnings) {
  uint8_t magic[2] = {};
  file.SeekAbsolute(0);
  bool looksLikeProgram = file.Read(magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
  CFileStamp stamp = ReleaseStamp(file.FullPath(), file);
  if (looksLikeProgram && stamp.versionMS == 0 && stamp.versionLS == 0) {
    warnings.push_back(file.field() + ": no version resource could be read from " +
                       file.FullPath() + "; version 0.0 is used");
  }
  return stamp;
}

// The whole of a release file, by its bytes.
ExactIdentity IdentityOf(InputFile& file, const std::string& where) {
  Sha256 digest;
  std::vector<uint8_t> piece(kPiece);
  uint64_t read = 0;
  file.SeekAbsolute(0);
  while (size_t n = file.Read(piece.data(), piece.size())) {
    digest.Update(piece.data(), n);
    read += n;
  }
  if (read != file.Length()) {
    throw PackError(where + ": " + file.FullPath() + " changed while it was read");
  }
  return {static_cast<uint32_t>(read), digest.Finish()};
}

void PrepareNewVersion(const ManifestFile& file, const std::string& field,
                       const FormatLimits& limits, const std::string& scratchNear,
                       size_t memoryLimit, PreparedEntry& entry);

PreparedEntry PrepareEntry(const Manifest& manifest, size_t index, const FormatLimits& limits,
                           const std::string& scratchNear, size_t memoryLimit, bool plain) {
  const ManifestFile& file = manifest.files[index];
  const std::string field = "files[" + std::to_string(index) + "]";
  PreparedEntry entry;
  ItemPlan& item = entry.item;
  item.componentName = file.component;
  item.description = file.description;
  item.defaultSelected = file.defaultSelected;
  item.fileName = file.name;
  item.directoryKind = file.directoryKind;
  item.directory = file.directory;
  entry.extension.action = file.action;
  entry.extension.selected = file.defaultSelected != 0;
  // A reader of the document alone leaves what adds or removes alone.
  if (file.action != EntryAction::replace) item.defaultSelected = 0;
  if (file.action == EntryAction::remove) {
    entry.stored = std::make_unique<StoredPayload>(nullptr, 0, 0, field);
    entry.stored->Finish();
    entry.content = {0, Sha256Of("", 0)};
  } else {
    PrepareNewVersion(file, field, limits, scratchNear, memoryLimit, entry);
  }
  // Versions without a version resource, and the ones a removal takes, are known by their
  // bytes.
  // A plain file has no record to carry them: its entries are known by samples alone.
  bool byIdentity =
      !plain && (file.exact || file.action == EntryAction::remove ||
                 (file.action == EntryAction::replace && item.expectedStamp.versionMS == 0 &&
                  item.expectedStamp.versionLS == 0));
  entry.extension.exact = byIdentity && file.action != EntryAction::remove;
  entry.extension.newVersion = {entry.content.size, entry.content.digest};
  const SampleParameters samples{manifest.sampleCount, manifest.sampleLength};
  for (size_t k = 0; k < file.previousPaths.size(); ++k) {
    std::string where = field + ".previous[" + std::to_string(k) + "]";
    std::unique_ptr<InputFile> previous = OpenRelease(file.previousPaths[k], where, limits);
    OrderPlan order;
    order.stamp = StampOf(*previous, entry.warnings);
    order.fingerprint =
        ComputeFingerprint(*previous, order.stamp.size, samples.count, samples.length);
    CheckPrevious(item, order, samples, where, byIdentity, file.action == EntryAction::remove);
    ExactIdentity identity = IdentityOf(*previous, where);
    const std::vector<ExactIdentity>& listed = entry.extension.previous;
    auto same = std::find(listed.begin(), listed.end(), identity);
    if (byIdentity && same != listed.end()) {
      throw PackError(where + ": the same file as previous[" +
                      std::to_string(same - listed.begin()) + "]; list it once");
    }
    item.previousVersions.push_back(std::move(order));
    entry.extension.previous.push_back(identity);
  }
  return entry;
}

void PrepareNewVersion(const ManifestFile& file, const std::string& field,
                       const FormatLimits& limits, const std::string& scratchNear,
                       size_t memoryLimit, PreparedEntry& entry) {
  ItemPlan& item = entry.item;
  std::unique_ptr<InputFile> input = OpenRelease(file.newPath, field + ".new", limits);
  if (input->Length() == 0) {
    // An empty file compresses to a bare header, which expands to nothing: the updater
    // would report every such entry as damaged.
    throw PackError(field + ".new: " + file.newPath + " is empty; it cannot be shipped");
  }
  entry.newSize = input->Length();
  item.expectedStamp = StampOf(*input, entry.warnings);
  input->SeekAbsolute(0);
  entry.stored = std::make_unique<StoredPayload>(
      [scratchNear] { return std::make_unique<ScratchFile>(scratchNear); }, memoryLimit,
      limits.payload, field + ".new: " + file.newPath);
  HashingSource source(*input);
  uint8_t more;
  if (!SzddCompress(source, entry.newSize, *entry.stored, file.name.back()) ||
      source.Read(&more, 1) != 0) {
    throw PackError(field + ".new: " + file.newPath +
                    " changed while it was read; build again once it is complete");
  }
  entry.stored->Finish();
  entry.content = {item.expectedStamp.size, source.Finish()};
}

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
