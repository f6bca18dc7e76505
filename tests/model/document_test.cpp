#include "model/document.h"

#include <gtest/gtest.h>

#include "support/counting_file.h"
#include "writer/document_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

CFileStamp Stamp(uint32_t size, uint32_t ms, uint32_t ls, uint32_t modified = 1600000000) {
  CFileStamp s;
  s.size = size;
  s.modified = modified;
  s.versionMS = ms;
  s.versionLS = ls;
  return s;
}

// Three items; the second has no payload and selection 2; the third two previous versions.
DocumentPlan SamplePlan(uint16_t format) {
  DocumentPlan plan;
  plan.formatVersion = format;
  plan.description = "Update for the demo product";
  plan.productName = "Demo";
  plan.failureMessage = "Call support.";
  plan.defaultDirectory = "C:\\DEMO";
  plan.registryPath[0] = "Maker";
  plan.registryPath[1] = "Demo";
  plan.registryPath[2] = "1.1";
  plan.sampleCount = 4;
  plan.sampleLength = 8;
  for (int i = 0; i < 3; ++i) {
    ItemPlan item;
    item.componentName = "Component " + std::to_string(i);
    item.description = "Description " + std::to_string(i);
    item.defaultSelected = static_cast<uint16_t>(i);
    item.fileName = i == 2 ? "A.DLL" : "B" + std::to_string(i) + ".EXE";
    item.directoryKind = static_cast<uint16_t>(i + 1);
    item.directory = i == 2 ? "C:\\ABS" : "BIN";
    item.expectedStamp = Stamp(1000 + i, 0x00010001, 0x00020000 + i);
    if (i != 1) item.payload = Bytes(50 + i, static_cast<uint8_t>(0xA0 + i));
    for (int k = 0; k < i; ++k) {
      OrderPlan order;
      order.unusedText1 = "old";
      order.stamp = Stamp(900 + k, 0x00010000, k);
      order.fingerprint = Bytes(48 - k, static_cast<uint8_t>(k));  // the second one is short
      item.previousVersions.push_back(order);
    }
    plan.items.push_back(item);
  }
  return plan;
}

TEST(Document, SmallestFileIs26BytesAndLoadsEmpty) {
  Bytes smallest = {0x01, 0x00, 0x05, 0x00, 0x00, 0x00, 0x07, 'V',  'L',  'R',  '.',  'U',  'P',
                    'D',  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(WriteDocument(DocumentPlan()), smallest);
  MemoryFile file(smallest);
  VEzorazEdo doc;
  doc.EnsureLoaded(file);
  EXPECT_TRUE(doc.loaded);
  EXPECT_EQ(doc.signature, "VLR.UPD");
  EXPECT_EQ(doc.formatVersion, 5);
  EXPECT_TRUE(doc.items.empty());
  EXPECT_EQ(file.Tell(), 26u);
}

TEST(Document, EveryFieldRoundTripsInBothFormats) {
  for (uint16_t format : {5, 6}) {
    DocumentPlan plan = SamplePlan(format);
    DocumentOffsets offsets;
    Bytes bytes = WriteDocument(plan, &offsets);
    MemoryFile file(bytes);
    VEzorazEdo doc;
    doc.EnsureLoaded(file);
    EXPECT_EQ(doc.formatVersion, format);
    EXPECT_EQ(doc.description, plan.description);
    EXPECT_EQ(doc.productName, "Demo");
    EXPECT_EQ(doc.failureMessage, "Call support.");
    EXPECT_EQ(doc.defaultDirectory, "C:\\DEMO");
    // Format 5 has no registry strings: the word and the list follow the directory.
    EXPECT_EQ(doc.registryPath[0], format == 6 ? "Maker" : "");
    EXPECT_EQ(doc.registryPath[2], format == 6 ? "1.1" : "");
    EXPECT_EQ(doc.sampleCount, 4);
    EXPECT_EQ(doc.sampleLength, 8);
    ASSERT_EQ(doc.items.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      const CUpdateItem& item = *doc.items[i];
      const ItemPlan& want = plan.items[i];
      EXPECT_EQ(item.componentName, want.componentName);
      EXPECT_EQ(item.description, want.description);
      EXPECT_EQ(item.defaultSelected, want.defaultSelected);
      EXPECT_EQ(item.selected, i != 0) << "selection 1 and 2 both select, 0 does not";
      EXPECT_EQ(item.fileName, want.fileName);
      EXPECT_EQ(item.directoryKind, want.directoryKind);
      EXPECT_EQ(item.directory, want.directory);
      EXPECT_EQ(item.expectedStamp.size, want.expectedStamp.size);
      EXPECT_EQ(item.expectedStamp.modified, want.expectedStamp.modified);
      EXPECT_EQ(item.expectedStamp.versionMS, want.expectedStamp.versionMS);
      EXPECT_EQ(item.expectedStamp.versionLS, want.expectedStamp.versionLS);
      EXPECT_EQ(item.payloadOffset, offsets.payloadOffsets[i]);
      EXPECT_EQ(item.payloadLength, want.payload.size());
      ASSERT_EQ(item.previousVersions.size(), want.previousVersions.size());
      for (size_t k = 0; k < item.previousVersions.size(); ++k) {
        const CUpdateOrder& order = *item.previousVersions[k];
        ASSERT_TRUE(order.unusedTexts);
        EXPECT_EQ((*order.unusedTexts)[0], "old");
        EXPECT_EQ(order.stamp.size, want.previousVersions[k].stamp.size);
        EXPECT_EQ(order.stamp.versionLS, want.previousVersions[k].stamp.versionLS);
        EXPECT_EQ(order.fingerprintOffset, offsets.fingerprintOffsets[i][k]);
        // The stored length is kept as it is, even where it is not N * (L + 4).
        EXPECT_EQ(order.fingerprintLength, want.previousVersions[k].fingerprint.size());
      }
    }
    // A payload of length 0 lies right after its length field.
    EXPECT_EQ(bytes[doc.items[0]->payloadOffset], 0xA0);
    EXPECT_EQ(bytes[doc.items[2]->payloadOffset + 51], 0xA2);
    EXPECT_EQ(file.Tell(), bytes.size());
  }
}

TEST(Document, EveryEncodingFormLoadsTheSameDocument) {
  DocumentPlan plan = SamplePlan(6);
  for (StringForm form :
       {StringForm::shortest, StringForm::word, StringForm::dword, StringForm::wide}) {
    for (bool longForms : {false, true}) {
      plan.stringForm = form;
      plan.longCounts = longForms;
      plan.longTags = longForms;
      MemoryFile file(WriteDocument(plan));
      VEzorazEdo doc;
      doc.EnsureLoaded(file);
      ASSERT_EQ(doc.items.size(), 3u);
      EXPECT_EQ(doc.registryPath[1], "Demo");
      EXPECT_EQ(doc.items[2]->directory, "C:\\ABS");
      EXPECT_EQ(doc.items[2]->previousVersions.size(), 2u);
      EXPECT_EQ(doc.sampleLength, 8);
    }
  }
}

TEST(Document, DuplicateEntriesStaySeparate) {
  DocumentPlan plan = SamplePlan(5);
  plan.items[1] = plan.items[0];
  MemoryFile file(WriteDocument(plan));
  VEzorazEdo doc;
  doc.EnsureLoaded(file);
  ASSERT_EQ(doc.items.size(), 3u);
  EXPECT_NE(doc.items[0].get(), doc.items[1].get());
  EXPECT_EQ(doc.items[0]->fileName, doc.items[1]->fileName);
  EXPECT_LT(doc.items[0]->payloadOffset, doc.items[1]->payloadOffset);
}

TEST(Document, SecondEnsureLoadedReadsNothing) {
  MemoryFile inner(WriteDocument(SamplePlan(5)));
  CountingFile file(inner);
  VEzorazEdo doc;
  doc.EnsureLoaded(file);
  doc.items[0]->selected = true;
  doc.items[1]->selected = false;
  size_t reads = file.reads, seeks = file.seeks;
  doc.EnsureLoaded(file);
  EXPECT_EQ(file.reads, reads);
  EXPECT_EQ(file.seeks, seeks);
  EXPECT_TRUE(doc.items[0]->selected);
  EXPECT_FALSE(doc.items[1]->selected);
  EXPECT_EQ(doc.items.size(), 3u);
}

TEST(Document, FailedLoadKeepsCompleteItemsAndTheNextLoadAppends) {
  DocumentOffsets offsets;
  Bytes bytes = WriteDocument(SamplePlan(5), &offsets);
  // Cut inside the third item, after its first previous version.
  bytes.resize(offsets.fingerprintOffsets[2][0] + 10);
  MemoryFile file(bytes);
  VEzorazEdo doc;
  EXPECT_THROW(doc.EnsureLoaded(file), CArchiveException);
  EXPECT_FALSE(doc.loaded);
  EXPECT_EQ(doc.items.size(), 2u);
  file.SeekAbsolute(5);  // wherever the file was left, the next load starts at byte 0
  EXPECT_THROW(doc.EnsureLoaded(file), CArchiveException);
  EXPECT_EQ(doc.items.size(), 4u);
  EXPECT_EQ(doc.items[2]->componentName, "Component 0");
}

TEST(Document, EveryCutBeforeTheLastFieldFails) {
  Bytes bytes = WriteDocument(SamplePlan(6));
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    MemoryFile file(Bytes(bytes.begin(), bytes.begin() + cut));
    VEzorazEdo doc;
    try {
      doc.EnsureLoaded(file);
      FAIL() << "a file cut at " << cut << " of " << bytes.size() << " loaded";
    } catch (const CArchiveException& e) {
      // Only a cut inside a class name reads as an unknown class.
      EXPECT_TRUE(e.cause() == ArchiveCause::truncated || e.cause() == ArchiveCause::unknownClass)
          << "cut " << cut << ": " << e.what();
    }
    EXPECT_FALSE(doc.loaded);
  }
}

TEST(Document, ListsOfTheWrongClassAreRefused) {
  // Swap the class names: the document's list then starts with a CUpdateOrder.
  Bytes bytes = WriteDocument(SamplePlan(5));
  std::string text(bytes.begin(), bytes.end());
  size_t at = text.find("CUpdateItem");
  ASSERT_NE(at, std::string::npos);
  Bytes renamed = bytes;
  const std::string order = "CUpdateOrder";
  // "CUpdateItem" is 11 bytes, "CUpdateOrder" 12: rewrite the record's length and name.
  renamed[at - 2] = 12;
  renamed.erase(renamed.begin() + at, renamed.begin() + at + 11);
  renamed.insert(renamed.begin() + at, order.begin(), order.end());
  MemoryFile file(renamed);
  VEzorazEdo doc;
  try {
    doc.EnsureLoaded(file);
    FAIL() << "an order in the item list must be refused";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.cause(), ArchiveCause::badReference);
  }
  EXPECT_TRUE(doc.items.empty());
}

}  // namespace
