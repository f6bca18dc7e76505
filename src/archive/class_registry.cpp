#include "archive/class_registry.h"

#include <cstring>

const ClassInfo* ClassRegistry::Find(const char* name, size_t length) const {
  for (const ClassInfo* info : classes_) {
    if (std::strlen(info->name) == length && std::memcmp(info->name, name, length) == 0) {
      return info;
    }
  }
  return nullptr;
}
