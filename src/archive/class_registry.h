// Objects that an archive can create, and the table from class name to factory.
// The registry never owns objects; a new object belongs to whoever asked for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class ArchiveReader;
class CObject;

// One class an archive may name: its exact name, schema number and factory.
struct ClassInfo {
  const char* name;
  uint16_t schema;
  std::unique_ptr<CObject> (*create)();
};

// Base of every object read from an archive. Virtual slots in this order: run-time
// class query, destructor, ReadFields.
class CObject {
 public:
  virtual const ClassInfo* GetRuntimeClass() const = 0;
  virtual ~CObject() = default;
  // Consumes exactly this class's fields from `reader`. Raises what the reader raises.
  virtual void ReadFields(ArchiveReader& reader) = 0;
};

// A read-only table of the classes an archive may contain, looked up by exact name.
class ClassRegistry {
 public:
  explicit ClassRegistry(std::vector<const ClassInfo*> classes) : classes_(std::move(classes)) {}
  // Returns the class whose name is exactly the `length` bytes at `name`, or null.
  const ClassInfo* Find(const char* name, size_t length) const;

 private:
  std::vector<const ClassInfo*> classes_;
};
