// The digests of an update pass's new files, worked out on a thread of their own while the
// pass expands the files that follow; the files handed over with them are written there too.
// The pass hands over a copy of what it expands and learns later, in file order, whether
// each file came out as the update says.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "platform/sha256.h"

class DigestBehind {
 public:
  // "No entry": what FirstMismatch and OldestPending return when there is none.
  static constexpr size_t kNone = static_cast<size_t>(-1);

  DigestBehind();
  // Waits for the digests under way; their outcome is dropped.
  ~DigestBehind();
  DigestBehind(const DigestBehind&) = delete;
  DigestBehind& operator=(const DigestBehind&) = delete;

  // False when no thread could be started: the caller then works out its digests itself.
  bool Running() const { return thread_.joinable(); }

  // The digest of entry `entry`'s new file, to equal `expected`; with `file`, the bytes are
  // also written to it, its write-back started once all were written, and it is closed. A
  // write refused counts as a digest that differs. Entries are begun in increasing order,
  // each ended before the next begins.
  void Begin(size_t entry, const Sha256Digest& expected, std::unique_ptr<CFile> file);
  // The file's next bytes, copied. Waits while more than a few chunks are under way.
  void Add(const uint8_t* data, size_t count);
  void End();

  // The first entry, of those ended and compared, whose file differs from its digest; with
  // `wait`, once all that was handed over was dealt with. Raises what working out a digest
  // raised.
  size_t FirstMismatch(bool wait);
  // The first entry whose digest was begun and is not yet compared.
  size_t OldestPending();

 private:
  struct Chunk {
    enum Kind { begin, bytes, end, dropped /* never queued: what the thread skips */ };
    explicit Chunk(Kind k) : kind(k) {}
    Kind kind;
    size_t entry = 0;
    Sha256Digest expected{};
    std::unique_ptr<CFile> file;  // where a begun entry's bytes go, if anywhere
    std::vector<uint8_t> data;
  };

  void Work();
  void Queue(Chunk chunk);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> queue_;
  std::vector<std::vector<uint8_t>> spare_;  // buffers to copy into, kept for reuse
  size_t queuedBytes_ = 0;
  size_t unfinished_ = 0;       // chunks queued or in the thread's hands
  std::deque<size_t> pending_;  // entries begun and not yet compared, in order
  size_t mismatch_ = kNone;
  std::exception_ptr failure_;
  bool stop_ = false;
  std::thread thread_;
};
