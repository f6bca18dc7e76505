// Two small archive classes for reader tests: a Box holds a WORD and a list of Leaves.
#pragma once

#include "archive/archive_reader.h"

class Leaf : public CObject {
 public:
  Leaf() { ++live; }
  ~Leaf() override { --live; }
  static inline int live = 0;  // leaves not yet destroyed
  static const ClassInfo kClass;
  const ClassInfo* GetRuntimeClass() const override { return &kClass; }
  void ReadFields(ArchiveReader& reader) override { value = reader.ReadWord(); }
  uint16_t value = 0;
};

class Box : public CObject {
 public:
  static const ClassInfo kClass;
  const ClassInfo* GetRuntimeClass() const override { return &kClass; }
  void ReadFields(ArchiveReader& reader) override {
    value = reader.ReadWord();
    reader.ReadList(leaves);
  }
  uint16_t value = 0;
  ObjectList<Leaf> leaves;
};

inline const ClassInfo Leaf::kClass = {"Leaf", 0,
                                       [] { return std::unique_ptr<CObject>(new Leaf); }};
inline const ClassInfo Box::kClass = {"Box", 0, [] { return std::unique_ptr<CObject>(new Box); }};

inline const ClassRegistry& TestRegistry() {
  static const ClassRegistry registry({&Box::kClass, &Leaf::kClass});
  return registry;
}

// Runs `body` on a reader over `bytes`; returns the cause of the CArchiveException it
// raised, or 0 if it raised none.
template <class Body>
int ArchiveCauseOf(std::vector<uint8_t> bytes, Body body) {
  MemoryFile file(std::move(bytes), "C:\\UPD\\test.upd");
  try {
    ArchiveReader reader(file, TestRegistry());
    body(reader);
  } catch (const CArchiveException& e) {
    return static_cast<int>(e.cause());
  }
  return 0;
}
