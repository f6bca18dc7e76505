// The tries of the steps that give a new file its name. A scanner that looks at a program
// the moment it is written holds it open for a moment; the step waits for it to let go
// rather than fail the entry.
#include "platform/env.h"

namespace {

// Makes `attempt` until it is not busy or the pauses run out; returns the last result.
template <typename Result, typename Attempt>
Result Tried(Env& env, Result busy, Attempt attempt) {
  Result result = attempt();
  for (unsigned ms : Env::kRetryPausesMs) {
    if (result != busy) break;
    env.Pause(ms);
    result = attempt();
  }
  return result;
}

}  // namespace

ReplaceOutcome Env::ReplaceWithBackup(const std::string& newFile, const std::string& target,
                                      const std::string& backup) {
  ReplaceOutcome outcome = Tried(*this, ReplaceOutcome::busy,
                                 [&] { return TryReplaceWithBackup(newFile, target, backup); });
  if (outcome != ReplaceOutcome::busy) return outcome;
  // As any refusal of the step: with a backup asked for, moving the previous version away is
  // the step that was refused.
  return backup.empty() ? ReplaceOutcome::failed : ReplaceOutcome::backupFailed;
}

bool Env::PlaceNewFile(const std::string& newFile, const std::string& target) {
  return Tried(*this, TryResult::busy, [&] { return TryPlaceNewFile(newFile, target); }) ==
         TryResult::done;
}

bool Env::RenameFile(const std::string& from, const std::string& to) {
  return Tried(*this, TryResult::busy, [&] { return TryRenameFile(from, to); }) == TryResult::done;
}
