#include "pack.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/payload_order.h"
#include "entry_checks.h"
#include "fingerprint.h"
#include "lz/szdd.h"
#include "model/document.h"
#include "release_file.h"
#include "signing.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxStored = 0x7FFFFFFF;  // a payload the reader can skip in one move

CFileStamp StampOf(const std::string& path, const std::vector<uint8_t>& data,
                   const std::string& field, const PackReport& report) {
  CFileStamp stamp = ReleaseStamp(path, data);
  bool looksLikeProgram = data.size() >= 2 && data[0] == 'M' && data[1] == 'Z';
  if (looksLikeProgram && stamp.versionMS == 0 && stamp.versionLS == 0 && report.warning) {
    report.warning(field + ": no version resource could be read from " + path +
                   "; version 0.0 is used");
  }
  return stamp;
}

}  // namespace

std::vector<uint8_t> StoreContents(const std::vector<uint8_t>& data, char lastNameChar) {
  std::vector<uint8_t> stored = SzddCompress(data.data(), data.size(), lastNameChar);
  ReverseBlocks(stored);
  return stored;
}

DocumentPlan PlanUpdate(const Manifest& manifest, const PackReport& report,
                        std::vector<IntegrityEntry>* contents) {
  DocumentPlan plan;
  plan.formatVersion = manifest.format;
  plan.description = manifest.description;
  plan.productName = manifest.product;
  plan.failureMessage = manifest.failureMessage;
  plan.defaultDirectory = manifest.defaultDirectory;
  for (int i = 0; i < 3; ++i) plan.registryPath[i] = manifest.registry[i];
  plan.sampleCount = manifest.sampleCount;
  plan.sampleLength = manifest.sampleLength;
  std::string tooLong = DescriptionWarning(manifest.description);
  if (!tooLong.empty() && report.warning) report.warning(tooLong);
  uint64_t total = HeaderBytes(plan);
  for (size_t i = 0; i < manifest.files.size(); ++i) {
    const ManifestFile& file = manifest.files[i];
    std::string field = "files[" + std::to_string(i) + "]";
    ItemPlan item;
    item.componentName = file.component;
    item.description = file.description;
    item.defaultSelected = file.defaultSelected;
    item.fileName = file.name;
    item.directoryKind = file.directoryKind;
    item.directory = file.directory;
    std::vector<uint8_t> data = ReadWholeFile(file.newPath, field + ".new");
    if (data.empty()) {
      // An empty file compresses to a bare header, which expands to nothing: the updater
      // would report every such entry as damaged.
      throw PackError(field + ".new: " + file.newPath + " is empty; it cannot be shipped");
    }
    item.expectedStamp = StampOf(file.newPath, data, field + ".new", report);
    if (contents)
      contents->push_back({item.expectedStamp.size, Sha256Of(data.data(), data.size())});
    item.payload = StoreContents(data, file.name.back());
    if (item.payload.size() > kMaxStored) {
      throw PackError(field + ".new: " + file.newPath + " is too large for an update file");
    }
    for (size_t k = 0; k < file.previousPaths.size(); ++k) {
      std::string where = field + ".previous[" + std::to_string(k) + "]";
      std::vector<uint8_t> previous = ReadWholeFile(file.previousPaths[k], where);
      OrderPlan order;
      order.stamp = StampOf(file.previousPaths[k], previous, where, report);
      order.fingerprint = ComputeFingerprint(previous, manifest.sampleCount, manifest.sampleLength);
      CheckPrevious(item, order, {manifest.sampleCount, manifest.sampleLength}, where);
      item.previousVersions.push_back(std::move(order));
    }
    total += EntryBytes(item);
    if (total > 0xFFFFFFFFull) throw PackError(field + ": the update file would exceed 4 GiB");
    if (report.progress) {
      report.progress(file.name + " " + VersionText(item.expectedStamp) + ", " +
                      std::to_string(data.size()) + " -> " + std::to_string(item.payload.size()) +
                      " bytes, " + std::to_string(file.previousPaths.size()) +
                      " previous version(s)");
    }
    plan.items.push_back(std::move(item));
  }
  return plan;
}

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  fs::path target = fs::u8path(path);
  std::random_device random;
  fs::path temp = target;
  temp += ".tmp" + std::to_string(random() % 1000000);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw PackError("cannot write " + path + ": " + std::strerror(errno));
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      throw PackError("cannot write " + path + " (disk full?)");
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw PackError("cannot write " + path + ": " + ec.message());
  }
}

void AppendIntegrityRecord(std::vector<uint8_t>& document,
                           const std::vector<IntegrityEntry>& contents, const SigningKey* signer) {
  std::vector<uint8_t> signedPart = EncodeSignedPart(
      static_cast<uint32_t>(document.size()), Sha256Of(document.data(), document.size()), contents);
  IntegritySignature signature;
  if (signer) signature = signer->Sign(Sha256Of(signedPart.data(), signedPart.size()));
  std::vector<uint8_t> record = EncodeIntegrityRecord(signedPart, signer ? &signature : nullptr);
  document.insert(document.end(), record.begin(), record.end());
}

void BuildUpdate(const Manifest& manifest, const std::string& outputPath, const PackReport& report,
                 const BuildOptions& options) {
  std::vector<IntegrityEntry> contents;
  DocumentPlan plan = PlanUpdate(manifest, report, &contents);
  std::vector<uint8_t> bytes = WriteDocument(plan);
  if (!options.plain) AppendIntegrityRecord(bytes, contents, options.signer);
  WriteFileAtomically(outputPath, bytes);
}

void SignUpdate(const std::string& path, const SigningKey& signer) {
  std::vector<uint8_t> bytes = ReadWholeFile(path, "sign");
  IntegrityRecord record;
  {
    // The whole load's checks: a damaged file must not be blessed with a signature.
    MemoryFile file(bytes, path);
    if (!ReadIntegrityRecord(file, &record)) {
      throw PackError(path + " has no integrity record to sign; build it again without --plain");
    }
    VEzorazEdo doc;
    doc.EnsureLoaded(file);
  }
  IntegritySignature signature = signer.Sign(record.SignedDigest());
  std::vector<uint8_t> signedRecord = EncodeIntegrityRecord(record.signedPart, &signature);
  bytes.resize(record.bodyLength);
  bytes.insert(bytes.end(), signedRecord.begin(), signedRecord.end());
  WriteFileAtomically(path, bytes);
}
