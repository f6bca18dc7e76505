// The replacement tests' fixture: one older, known program installed under APP, and the
// entry that replaces it.
#pragma once

#include <string>

#include "engine/engine_fixture.h"

class ReplaceTest : public EngineTest {
 protected:
  // One older, known A.DLL (or `name`) under APP; its new version of `freshSize` bytes.
  void OneEntry(const std::string& name = "A.DLL", size_t freshSize = 22000) {
    old_ = MakeProgram(kV10, 0, 20000, 1);
    fresh_ = MakeProgram(kV11, 0, freshSize, 2);
    Install(Win("APP\\" + name), old_);
    entry_ = EntryPlan{name};
    entry_.newBytes = fresh_;
    entry_.previous = {old_};
  }
  Bytes old_, fresh_;
  EntryPlan entry_;
};
