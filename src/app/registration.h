// Registers the program with the shell as the opener of ".upd" files, on every start.
// The order and the conditions of the writes live in portable code over ClassesRegistry;
// registration_win32.cpp puts it on HKEY_CLASSES_ROOT.
#pragma once

#include <string>

// The keys below HKEY_CLASSES_ROOT, as the registration uses them.
class ClassesRegistry {
 public:
  virtual ~ClassesRegistry() = default;
  // Sets the default text value of `key`, creating the key. True when the system reports
  // success.
  virtual bool SetValue(const std::string& key, const std::string& text) = 0;
  // Whether `key` has a non-empty default value that fits 520 bytes; false when the read
  // fails for any reason.
  virtual bool HasValue(const std::string& key) = 0;
};

// Writes "VLR.Update", its open command and icon for `program` (the program file's full
// path), and associates ".upd" unless another non-empty association exists, in this order,
// stopping after a refused first or second write. Silent: nothing is reported.
void RegisterFileType(const std::string& program, ClassesRegistry& registry);

// The same for the running program, in the real HKEY_CLASSES_ROOT.
void RegisterFileType();
