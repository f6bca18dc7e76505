#include "archive/integrity_record.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "archive/archive_exception.h"
#include "archive/archive_writer.h"
#include "platform/exceptions.h"

namespace {

// The signed part: its own length, the body's length and digest, the entry count; then the
// entries, each a DWORD size and a digest.
constexpr size_t kSignedFixedSize = 4 + 4 + 32 + 4;
constexpr size_t kEntrySize = 4 + 32;
// After the signed part its SHA-256, so that damage to the record is found without a key too.
constexpr size_t kDigestSize = 32;
// The signature block: its length (0, or kSignatureBlockSize), then the signer's key id and
// the signature.
constexpr uint32_t kSignatureBlockSize = kKeyIdSize + kSignatureSize;
constexpr uint32_t kSmallestRecord = kSignedFixedSize + kDigestSize + 4 + kIntegrityFooterSize;
// Room for about 1.8 million entries: a record beyond it is damage, not an update.
constexpr uint32_t kLargestRecord = 64u << 20;

uint32_t Get32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

[[noreturn]] void Damaged(const std::string& detail) {
  throw CArchiveException(ArchiveCause::generic, std::string(), detail);
}

std::string ByteCount(uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

void ReadExactly(CFile& file, uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    size_t n = file.Read(buffer + done, count - done);
    if (n == 0) {
      throw CArchiveException(ArchiveCause::truncated, std::string(),
                              "The file ends inside its integrity record.");
    }
    done += n;
  }
}

// Decodes the record's bytes before the footer; the record starts at `start` in the file.
void Decode(const std::vector<uint8_t>& bytes, uint64_t start, IntegrityRecord* record) {
  const uint8_t* b = bytes.data();
  record->bodyLength = Get32(b + 4);
  if (record->bodyLength != start) {
    Damaged("Its integrity record starts at byte " + std::to_string(start) +
            " but says the part before it has " + ByteCount(record->bodyLength) + ".");
  }
  uint32_t signedLength = Get32(b);
  if (signedLength < kSignedFixedSize || signedLength > bytes.size() - kDigestSize - 4) {
    Damaged("Its integrity record's signed part is said to have " + ByteCount(signedLength) +
            ", which does not fit the record's " + ByteCount(bytes.size() + kIntegrityFooterSize) +
            ".");
  }
  std::memcpy(record->bodyDigest.bytes, b + 8, 32);
  uint32_t count = Get32(b + 40);
  if (count > (signedLength - kSignedFixedSize) / kEntrySize) {
    Damaged("Its integrity record lists " + std::to_string(count) +
            " entries, more than its signed part of " + ByteCount(signedLength) + " holds.");
  }
  record->entries.resize(count);
  for (uint32_t k = 0; k < count; ++k) {
    const uint8_t* entry = b + kSignedFixedSize + k * kEntrySize;
    record->entries[k].size = Get32(entry);
    std::memcpy(record->entries[k].digest.bytes, entry + 4, 32);
  }
  // The later fields: tag, length, bytes, filling the rest of the signed part exactly.
  size_t at = kSignedFixedSize + size_t{count} * kEntrySize;
  while (at < signedLength) {
    if (signedLength - at < 8 || Get32(b + at + 4) > signedLength - at - 8) {
      Damaged("Its integrity record's later fields do not fill its signed part: at byte " +
              std::to_string(at) + " of " + ByteCount(signedLength) + ".");
    }
    uint32_t tag = Get32(b + at);
    uint32_t length = Get32(b + at + 4);
    if (tag == kEntryActionsField) {
      record->laterFields.push_back({tag, std::vector<uint8_t>(b + at + 8, b + at + 8 + length)});
    } else if (tag & kCriticalField) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%08X", tag);
      throw CArchiveException(ArchiveCause::schemaMismatch, std::string(),
                              std::string("Its integrity record holds the field ") + hex +
                                  ", which this program does not know and must not ignore: a "
                                  "newer version of the program is needed.");
    }
    at += 8 + size_t{length};
  }
  record->signedPart.assign(b, b + signedLength);
  if (std::memcmp(record->SignedDigest().bytes, b + signedLength, kDigestSize) != 0) {
    Damaged("Its integrity record does not match its own digest.");
  }
  const uint8_t* signatureBlock = b + signedLength + kDigestSize;
  uint32_t signatureLength = Get32(signatureBlock);
  size_t rest = bytes.size() - signedLength - kDigestSize - 4;
  if (signatureLength != 0 && signatureLength != kSignatureBlockSize) {
    Damaged("Its signature block is said to have " + ByteCount(signatureLength) +
            "; a signature has " + ByteCount(kSignatureBlockSize) + ".");
  }
  if (signatureLength != rest) {
    Damaged("Its integrity record has " + ByteCount(rest) + " after the signature's length where " +
            ByteCount(signatureLength) + " belong.");
  }
  record->isSigned = signatureLength != 0;
  if (record->isSigned) {
    std::memcpy(record->signature.signer.bytes, signatureBlock + 4, kKeyIdSize);
    std::memcpy(record->signature.value, signatureBlock + 4 + kKeyIdSize, kSignatureSize);
  }
}

}  // namespace

Sha256Digest IntegrityRecord::SignedDigest() const {
  return Sha256Of(signedPart.data(), signedPart.size());
}

std::vector<uint8_t> EncodeSignedPart(uint32_t bodyLength, const Sha256Digest& bodyDigest,
                                      const std::vector<IntegrityEntry>& entries,
                                      const std::vector<IntegrityField>& laterFields) {
  std::vector<uint8_t> out;
  ArchiveWriter w(out);
  size_t later = 0;
  for (const IntegrityField& field : laterFields) later += 8 + field.value.size();
  w.WriteDword(static_cast<uint32_t>(kSignedFixedSize + entries.size() * kEntrySize + later));
  w.WriteDword(bodyLength);
  w.WriteBytes(bodyDigest.bytes, sizeof bodyDigest.bytes);
  w.WriteDword(static_cast<uint32_t>(entries.size()));
  for (const IntegrityEntry& entry : entries) {
    w.WriteDword(entry.size);
    w.WriteBytes(entry.digest.bytes, sizeof entry.digest.bytes);
  }
  for (const IntegrityField& field : laterFields) {
    w.WriteDword(field.tag);
    w.WriteDword(static_cast<uint32_t>(field.value.size()));
    w.WriteBytes(field.value.data(), field.value.size());
  }
  return out;
}

std::vector<uint8_t> EncodeIntegrityRecord(const std::vector<uint8_t>& signedPart,
                                           const IntegritySignature* signature) {
  std::vector<uint8_t> out(signedPart);
  ArchiveWriter w(out);
  w.WriteBytes(Sha256Of(signedPart.data(), signedPart.size()).bytes, kDigestSize);
  w.WriteDword(signature ? kSignatureBlockSize : 0);
  if (signature) {
    w.WriteBytes(signature->signer.bytes, kKeyIdSize);
    w.WriteBytes(signature->value, kSignatureSize);
  }
  w.WriteBytes(kIntegrityMagic, sizeof kIntegrityMagic);
  w.WriteDword(static_cast<uint32_t>(out.size() + 8));
  w.WriteDword(kIntegrityVersion);
  return out;
}

bool ReadIntegrityRecord(CFile& file, IntegrityRecord* record) {
  uint64_t fileLength = file.Length();
  if (fileLength < kIntegrityFooterSize) return false;
  uint8_t footer[kIntegrityFooterSize];
  file.SeekAbsolute(fileLength - kIntegrityFooterSize);
  ReadExactly(file, footer, sizeof footer);
  if (std::memcmp(footer, kIntegrityMagic, sizeof kIntegrityMagic) != 0) return false;
  uint32_t recordLength = Get32(footer + 8);
  uint32_t version = Get32(footer + 12);
  if (version != kIntegrityVersion) {
    throw CArchiveException(ArchiveCause::schemaMismatch, file.FullPath(),
                            "Its integrity record has version " + std::to_string(version) +
                                "; this program reads version " +
                                std::to_string(kIntegrityVersion) + ".");
  }
  if (recordLength > fileLength) {
    Damaged("Its integrity record is said to have " + ByteCount(recordLength) +
            ", which reaches before the start of the file (" + ByteCount(fileLength) + ").");
  }
  if (recordLength < kSmallestRecord || recordLength > kLargestRecord) {
    Damaged("Its integrity record is said to have " + ByteCount(recordLength) + "; a record has " +
            std::to_string(kSmallestRecord) + " to " + ByteCount(kLargestRecord) + ".");
  }
  uint64_t start = fileLength - recordLength;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(recordLength - kIntegrityFooterSize);
  } catch (const std::bad_alloc&) {
    throw CMemoryException();
  }
  file.SeekAbsolute(start);
  ReadExactly(file, bytes.data(), bytes.size());
  Decode(bytes, start, record);
  return true;
}

bool LooksLikeRecordStart(const uint8_t* bytes, size_t count, uint64_t documentLength) {
  return count >= 8 && Get32(bytes) >= kSignedFixedSize && Get32(bytes + 4) == documentLength;
}
