#include "live_run.h"

#include <string>

#include "entry_json.h"

LiveRun::LiveRun(AppState& app, bool doUpdate, std::ostream* json, ProgressLine& progress)
    : app_(app), doUpdate_(doUpdate), json_(json), progress_(progress) {
  app_.entryPassed = [this](int pass, size_t index) { Passed(pass, index); };
  app_.entryFinal = [this](size_t index) { PrintUpTo(index + 1); };
}

LiveRun::~LiveRun() {
  app_.entryPassed = nullptr;
  app_.entryFinal = nullptr;
}

void LiveRun::Finish() {
  progress_.Clear();
  PrintUpTo(app_.record.entries.size());
}

void LiveRun::Passed(int pass, size_t index) {
  progress_.Show((pass == 1 ? "checking " : "updating ") + std::to_string(index + 1) + "/" +
                 std::to_string(app_.record.entries.size()));
}

void LiveRun::PrintUpTo(size_t end) {
  if (!json_ || printed_ >= end) return;
  progress_.Clear();
  for (; printed_ < end && printed_ < app_.record.entries.size(); ++printed_) {
    *json_ << EntryJson(*app_.document.items[printed_], printed_ + 1, app_.record.entries[printed_],
                        doUpdate_)
           << '\n';
  }
  *json_ << std::flush;
}
