// Writes a handful of valid update documents into the directory given as argument: plain,
// with an integrity record, and the tests' signed update.
#include <cstdio>
#include <fstream>
#include <string>

#include "archive/integrity_record.h"
#include "support/trust_data.h"
#include "writer/document_writer.h"

static void SaveBytes(const std::string& dir, const std::string& name,
                      const std::vector<uint8_t>& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

static void Save(const std::string& dir, const std::string& name, const DocumentPlan& plan) {
  SaveBytes(dir, name, WriteDocument(plan));
}

// The document of `plan` followed by an unsigned integrity record for it.
static void SaveWithRecord(const std::string& dir, const std::string& name,
                           const DocumentPlan& plan) {
  std::vector<uint8_t> bytes = WriteDocument(plan);
  std::vector<IntegrityEntry> entries;
  for (const ItemPlan& item : plan.items)
    entries.push_back({item.expectedStamp.size, Sha256Digest()});
  std::vector<uint8_t> record =
      EncodeIntegrityRecord(EncodeSignedPart(static_cast<uint32_t>(bytes.size()),
                                             Sha256Of(bytes.data(), bytes.size()), entries),
                            nullptr);
  bytes.insert(bytes.end(), record.begin(), record.end());
  SaveBytes(dir, name, bytes);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seed_corpus DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  DocumentPlan plan;
  Save(dir, "smallest.upd", plan);
  plan.formatVersion = 6;
  plan.description = "Demo update";
  plan.productName = "Demo";
  plan.registryPath[0] = "Maker";
  plan.sampleCount = 2;
  plan.sampleLength = 4;
  for (int i = 0; i < 3; ++i) {
    ItemPlan item;
    item.componentName = "Part " + std::to_string(i);
    item.fileName = "F" + std::to_string(i) + ".DLL";
    item.payload = std::vector<uint8_t>(10 + i, 0x41);
    for (int k = 0; k < i; ++k) {
      OrderPlan order;
      order.stamp.size = 100;
      order.fingerprint = std::vector<uint8_t>(16, 0x11);
      item.previousVersions.push_back(order);
    }
    plan.items.push_back(item);
  }
  Save(dir, "three_items.upd", plan);
  SaveWithRecord(dir, "three_items_record.upd", plan);
  SaveBytes(dir, "signed.upd", TrustData("signed.upd"));
  plan.stringForm = StringForm::wide;
  plan.longTags = true;
  plan.longCounts = true;
  Save(dir, "long_forms.upd", plan);
  return 0;
}
