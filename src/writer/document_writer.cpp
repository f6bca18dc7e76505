#include "writer/document_writer.h"

void WriteStamp(ArchiveWriter& writer, const CFileStamp& stamp) {
  writer.WriteDword(stamp.size);
  writer.WriteDword(stamp.modified);
  writer.WriteDword(stamp.versionMS);
  writer.WriteDword(stamp.versionLS);
}

static void WriteOrder(ArchiveWriter& w, const DocumentPlan& plan, const OrderPlan& order,
                       std::vector<uint32_t>* offsets) {
  w.BeginObject("CUpdateOrder", 0, plan.longTags);
  w.WriteWord(order.unusedWord);
  w.WriteString(order.unusedText1, plan.stringForm);
  w.WriteString(order.unusedText2, plan.stringForm);
  WriteStamp(w, order.stamp);
  uint32_t at = w.WritePayload(order.fingerprint.data(), order.fingerprint.size());
  if (offsets) offsets->push_back(at);
}

void WriteHeader(ArchiveWriter& w, const DocumentPlan& plan, uint32_t itemCount) {
  w.WriteWord(plan.fileType);
  w.WriteWord(plan.formatVersion);
  w.WriteWord(plan.unusedWord1);
  w.WriteString(plan.signature, plan.stringForm);
  w.WriteString(plan.description, plan.stringForm);
  w.WriteString(plan.productName, plan.stringForm);
  w.WriteString(plan.failureMessage, plan.stringForm);
  w.WriteString(plan.defaultDirectory, plan.stringForm);
  if (HasRegistryPath(plan.formatVersion)) {
    for (const std::string& part : plan.registryPath) w.WriteString(part, plan.stringForm);
  }
  w.WriteWord(plan.unusedWord2);
  w.WriteCount(itemCount, plan.longCounts);
}

void WriteItemHead(ArchiveWriter& w, const DocumentPlan& plan, const ItemPlan& item,
                   std::vector<uint32_t>* fingerprintOffsets) {
  w.BeginObject("CUpdateItem", 0, plan.longTags);
  w.WriteString(item.componentName, plan.stringForm);
  w.WriteString(item.description, plan.stringForm);
  w.WriteWord(item.defaultSelected);
  w.WriteString(item.fileName, plan.stringForm);
  w.WriteWord(item.unusedWord);
  w.WriteWord(item.directoryKind);
  w.WriteString(item.directory, plan.stringForm);
  w.WriteCount(static_cast<uint32_t>(item.previousVersions.size()), plan.longCounts);
  for (const OrderPlan& order : item.previousVersions) {
    WriteOrder(w, plan, order, fingerprintOffsets);
  }
  WriteStamp(w, item.expectedStamp);
}

void WriteTrailer(ArchiveWriter& w, const DocumentPlan& plan) {
  w.WriteWord(plan.sampleCount);
  w.WriteWord(plan.sampleLength);
}

std::vector<uint8_t> WriteDocument(const DocumentPlan& plan, DocumentOffsets* offsets) {
  std::vector<uint8_t> out;
  ArchiveWriter w(out);
  WriteHeader(w, plan, static_cast<uint32_t>(plan.items.size()));
  for (const ItemPlan& item : plan.items) {
    std::vector<uint32_t> orderOffsets;
    WriteItemHead(w, plan, item, &orderOffsets);
    uint32_t at = w.WritePayload(item.payload.data(), item.payload.size());
    if (offsets) {
      offsets->payloadOffsets.push_back(at);
      offsets->fingerprintOffsets.push_back(std::move(orderOffsets));
    }
  }
  WriteTrailer(w, plan);
  return out;
}
