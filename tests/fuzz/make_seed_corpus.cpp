// Writes a handful of valid update documents into the directory given as argument.
#include <cstdio>
#include <fstream>
#include <string>

#include "model/document_writer.h"

static void Save(const std::string& dir, const std::string& name, const DocumentPlan& plan) {
  std::vector<uint8_t> bytes = WriteDocument(plan);
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
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
  plan.stringForm = StringForm::wide;
  plan.longTags = true;
  plan.longCounts = true;
  Save(dir, "long_forms.upd", plan);
  return 0;
}
