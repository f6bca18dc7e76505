#include <gtest/gtest.h>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/test_classes.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Word(Bytes& b, uint16_t w) {
  b.push_back(static_cast<uint8_t>(w));
  b.push_back(static_cast<uint8_t>(w >> 8));
}

void Dword(Bytes& b, uint32_t d) {
  Word(b, static_cast<uint16_t>(d));
  Word(b, static_cast<uint16_t>(d >> 16));
}

void ClassRecord(Bytes& b, const std::string& name, uint16_t schema = 0) {
  Word(b, 0xFFFF);
  Word(b, schema);
  Word(b, static_cast<uint16_t>(name.size()));
  b.insert(b.end(), name.begin(), name.end());
}

// Two boxes in a list, each with two leaves; `secondBoxTag` is the tag of the second box.
Bytes WorkedExample(uint16_t secondBoxTag = 0x8001) {
  Bytes b;
  Word(b, 2);
  ClassRecord(b, "Box");  // class 1, box 2
  Word(b, 100);
  Word(b, 2);
  ClassRecord(b, "Leaf");  // class 3, leaf 4
  Word(b, 1);
  Word(b, 0x8003);  // leaf 5
  Word(b, 2);
  Word(b, secondBoxTag);  // box 6
  Word(b, 200);
  Word(b, 2);
  Word(b, 0x8003);  // leaf 7
  Word(b, 3);
  Word(b, 0x8003);  // leaf 8
  Word(b, 4);
  return b;
}

TEST(TaggedObject, WorkedExampleReadsBackAndMatchesTheWriter) {
  MemoryFile file(WorkedExample());
  ArchiveReader reader(file, TestRegistry());
  ObjectList<Box> boxes;
  reader.ReadList(boxes);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0]->value, 100);
  EXPECT_EQ(boxes[1]->value, 200);
  ASSERT_EQ(boxes[0]->leaves.size(), 2u);
  ASSERT_EQ(boxes[1]->leaves.size(), 2u);
  EXPECT_EQ(boxes[0]->leaves[0]->value, 1);
  EXPECT_EQ(boxes[0]->leaves[1]->value, 2);
  EXPECT_EQ(boxes[1]->leaves[0]->value, 3);
  EXPECT_EQ(boxes[1]->leaves[1]->value, 4);

  Bytes written;
  ArchiveWriter w(written);
  w.WriteCount(2);
  uint16_t leafValue = 1;
  for (uint16_t boxValue : {100, 200}) {
    w.BeginObject("Box");
    w.WriteWord(boxValue);
    w.WriteCount(2);
    for (int i = 0; i < 2; ++i) {
      w.BeginObject("Leaf");
      w.WriteWord(leafValue++);
    }
  }
  EXPECT_EQ(written, WorkedExample());
  EXPECT_EQ(w.NextIndex(), 9u);
}

TEST(TaggedObject, TagNamingAnObjectAsAClassIsABadReference) {
  MemoryFile file(WorkedExample(0x8002), "C:\\UPD\\bad.upd");
  ArchiveReader reader(file, TestRegistry());
  ObjectList<Box> boxes;
  try {
    reader.ReadList(boxes);
    FAIL() << "0x8002 names the first box, not a class";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.cause(), ArchiveCause::badReference);
    EXPECT_EQ(e.path(), "C:\\UPD\\bad.upd");
    EXPECT_NE(std::string(e.what()).find("C:\\UPD\\bad.upd"), std::string::npos);
  }
  EXPECT_EQ(boxes.size(), 1u);  // the complete first box stays
}

TEST(TaggedObject, ReferencesNullAndLongTags) {
  Bytes b;
  ClassRecord(b, "Leaf");  // class 1, leaf 2
  Word(b, 42);
  Word(b, 0x0002);  // the same leaf again
  Word(b, 0x0000);  // null
  Word(b, 0x7FFF);  // long tag: new leaf of class 1 (object 3)
  Dword(b, 0x80000001);
  Word(b, 43);
  Word(b, 0x7FFF);  // long tag: reference to object 3
  Dword(b, 3);
  Word(b, 0x7FFF);  // long tag 0: null
  Dword(b, 0);
  MemoryFile file(b);
  ArchiveReader reader(file, TestRegistry());
  TaggedObject first = reader.ReadTaggedObject();
  ASSERT_TRUE(first.created);
  EXPECT_EQ(static_cast<Leaf*>(first.created.get())->value, 42);
  TaggedObject again = reader.ReadTaggedObject();
  EXPECT_FALSE(again.created);
  EXPECT_EQ(again.referenced, first.created.get());
  TaggedObject null = reader.ReadTaggedObject();
  EXPECT_FALSE(null.created);
  EXPECT_EQ(null.referenced, nullptr);
  TaggedObject third = reader.ReadTaggedObject();
  ASSERT_TRUE(third.created);
  EXPECT_EQ(static_cast<Leaf*>(third.created.get())->value, 43);
  EXPECT_EQ(reader.ReadTaggedObject().referenced, third.created.get());
  TaggedObject longNull = reader.ReadTaggedObject();
  EXPECT_FALSE(longNull.created);
  EXPECT_EQ(longNull.referenced, nullptr);
}

TEST(TaggedObject, BadTagsFailWithTheirCause) {
  auto tagged = [](ArchiveReader& r) { r.ReadTaggedObject(); };
  EXPECT_EQ(ArchiveCauseOf({0x00, 0x80}, tagged), 5);  // class index 0
  EXPECT_EQ(ArchiveCauseOf({0x05, 0x00}, tagged), 5);  // object not yet assigned
  EXPECT_EQ(ArchiveCauseOf({0x01, 0x00}, tagged), 5);  // the next one to be assigned
  EXPECT_EQ(ArchiveCauseOf({0x01, 0x80}, tagged), 5);  // class not yet assigned
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0x7F, 0x09, 0x00, 0x00, 0x00}, tagged), 5);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0x7F, 0x00, 0x00, 0x00, 0x80}, tagged), 5);
  EXPECT_EQ(ArchiveCauseOf({0x00}, tagged), 3);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0x7F, 0x01, 0x00}, tagged), 3);

  Bytes classThenRef;
  ClassRecord(classThenRef, "Leaf");
  Word(classThenRef, 7);
  Bytes refToClass = classThenRef;
  Word(refToClass, 0x0001);  // index 1 is the class, not an object
  EXPECT_EQ(ArchiveCauseOf(refToClass,
                           [](ArchiveReader& r) {
                             r.ReadTaggedObject();
                             r.ReadTaggedObject();
                           }),
            5);
  Bytes classRefToObject = classThenRef;
  Word(classRefToObject, 0x8002);  // index 2 is the leaf, not a class
  EXPECT_EQ(ArchiveCauseOf(classRefToObject,
                           [](ArchiveReader& r) {
                             r.ReadTaggedObject();
                             r.ReadTaggedObject();
                           }),
            5);
}

TEST(TaggedObject, ClassRecordsAreCheckedExactly) {
  auto tagged = [](ArchiveReader& r) { r.ReadTaggedObject(); };
  auto record = [](const std::string& name, uint16_t schema) {
    Bytes b;
    ClassRecord(b, name, schema);
    Word(b, 1);
    return b;
  };
  EXPECT_EQ(ArchiveCauseOf(record("Leaf", 0), tagged), 0);
  EXPECT_EQ(ArchiveCauseOf(record("leaf", 0), tagged), 6);
  EXPECT_EQ(ArchiveCauseOf(record("Leaf ", 0), tagged), 6);
  EXPECT_EQ(ArchiveCauseOf(record("Leaf", 1), tagged), 7);
  EXPECT_EQ(ArchiveCauseOf(record(std::string(63, 'L'), 0), tagged), 6);
  Bytes tooLong = {0xFF, 0xFF, 0x00, 0x00, 0x40, 0x00};  // length 64, no name bytes needed
  EXPECT_EQ(ArchiveCauseOf(tooLong, tagged), 6);
  Bytes cutName = {0xFF, 0xFF, 0x00, 0x00, 0x04, 0x00, 'L', 'e'};
  EXPECT_EQ(ArchiveCauseOf(cutName, tagged), 6);
  Bytes cutLength = {0xFF, 0xFF, 0x00, 0x00, 0x04};
  EXPECT_EQ(ArchiveCauseOf(cutLength, tagged), 3);
}

TEST(TaggedObject, ListsAcceptOnlyNewObjectsOfTheirClass) {
  auto boxList = [](ArchiveReader& r) {
    ObjectList<Box> boxes;
    r.ReadList(boxes);
  };
  Bytes nullElement = {0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(ArchiveCauseOf(nullElement, boxList), 5);

  Bytes otherClass;
  Word(otherClass, 1);
  ClassRecord(otherClass, "Leaf");
  Word(otherClass, 9);
  EXPECT_EQ(ArchiveCauseOf(otherClass, boxList), 5);

  // A box whose leaf list holds its own first leaf a second time.
  Bytes repeated;
  Word(repeated, 1);
  ClassRecord(repeated, "Box");
  Word(repeated, 5);
  Word(repeated, 2);
  ClassRecord(repeated, "Leaf");
  Word(repeated, 1);
  Word(repeated, 0x0004);
  MemoryFile file(repeated);
  ArchiveReader reader(file, TestRegistry());
  ObjectList<Box> boxes;
  EXPECT_THROW(reader.ReadList(boxes), CArchiveException);
  EXPECT_TRUE(boxes.empty());  // the box being read when it failed is discarded
}

TEST(TaggedObject, IndicesBeyond0x7FFFUseLongTags) {
  const uint32_t leaves = 0x8100;
  Bytes b;
  ArchiveWriter w(b);
  w.WriteCount(leaves);
  for (uint32_t i = 0; i < leaves; ++i) {
    w.BeginObject("Leaf");
    w.WriteWord(static_cast<uint16_t>(i));
  }
  w.WriteReference(0x8050);  // object 0x8050 is leaf 0x804E (class 1 comes first)
  w.WriteReference(5, true);
  EXPECT_EQ(b[b.size() - 12], 0xFF);
  EXPECT_EQ(b[b.size() - 11], 0x7F);

  MemoryFile file(b);
  ArchiveReader reader(file, TestRegistry());
  ObjectList<Leaf> list;
  reader.ReadList(list);
  ASSERT_EQ(list.size(), leaves);
  EXPECT_EQ(reader.ReadTaggedObject().referenced, list[0x804E].get());
  EXPECT_EQ(reader.ReadTaggedObject().referenced, list[3].get());
}

}  // namespace
