// Loads a document of 10,000 items with 3 previous versions each from a real file and
// reports the load rate and how the reader used the file.
// Output: "load: N records/s, R reads and S seeks per record".
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "model/document.h"
#include "support/counting_file.h"
#include "support/temp_dir.h"
#include "writer/document_writer.h"

int main() {
  const int kItems = 10000;
  const int kOrders = 3;
  DocumentPlan plan;
  plan.formatVersion = 6;
  plan.productName = "Bench";
  plan.sampleCount = 4;
  plan.sampleLength = 8;
  for (int i = 0; i < kItems; ++i) {
    ItemPlan item;
    item.componentName = "Component " + std::to_string(i);
    item.description = "File number " + std::to_string(i) + " of the benchmark product";
    item.fileName = "FILE" + std::to_string(i) + ".DLL";
    item.directory = "BIN";
    item.payload = {1, 2, 3, 4, 5};
    for (int k = 0; k < kOrders; ++k) {
      OrderPlan order;
      order.stamp.size = 1000 + k;
      order.fingerprint = {9, 9, 9};
      item.previousVersions.push_back(order);
    }
    plan.items.push_back(std::move(item));
  }
  std::vector<uint8_t> bytes = WriteDocument(plan);
  const double records = kItems * (1.0 + kOrders);
  const double payloadRecords = records;  // one payload per item and per previous version
  const double payloadBytes = kItems * 5.0 + kItems * kOrders * 3.0;
  const double metadataBytes = static_cast<double>(bytes.size()) - payloadBytes;

  TempDir dir;
  std::string path = dir.Write("bench.upd", bytes);
  std::unique_ptr<CFile> file = OpenForReading(path);

  double best = 1e9;
  size_t reads = 0, seeks = 0;
  for (int round = 0; round < 7; ++round) {
    CountingFile counting(*file);
    VEzorazEdo doc;
    auto start = std::chrono::steady_clock::now();
    doc.EnsureLoaded(counting);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (doc.items.size() != static_cast<size_t>(kItems)) {
      std::fprintf(stderr, "load_bench: loaded %zu items\n", doc.items.size());
      return 1;
    }
    best = std::min(best, seconds);
    reads = counting.reads;
    seeks = counting.seeks;
  }
  std::printf("load: %.0f records/s, %.2f reads and %.2f seeks per record\n", records / best,
              reads / records, seeks / records);
  double readGoal = metadataBytes / 4096 + payloadRecords;
  std::fprintf(stderr,
               "load goals: reads %zu (at most %.0f), seeks %zu (at most %.0f), "
               "records/s at least 250000\n",
               reads, readGoal, seeks, 2 * payloadRecords);
  return 0;
}
