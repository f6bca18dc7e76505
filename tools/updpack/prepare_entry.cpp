#include "prepare_entry.h"

#include <algorithm>

#include "entry_checks.h"
#include "lz/szdd.h"
#include "output_file.h"
#include "release_file.h"
#include "writer/fingerprint.h"

namespace {

constexpr size_t kPiece = 64 * 1024;

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

}  // namespace

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

namespace {

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

}  // namespace
