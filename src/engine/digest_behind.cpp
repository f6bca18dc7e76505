#include "engine/digest_behind.h"

#include <system_error>
#include <utility>

#include "platform/exceptions.h"

namespace {

// What may wait to be hashed and written: two of the expansion's chunks, so that the pass's
// thread never waits for the other unless the other is the slower of the two.
constexpr size_t kMaxQueuedBytes = 1024 * 1024;

// Writes `data` to `file`; a refusal (a full disk) is noted in `refused`, not raised.
void Write(CFile& file, const std::vector<uint8_t>& data, bool* refused) {
  try {
    file.Write(data.data(), data.size());
  } catch (const CFileException&) {
    *refused = true;
  }
}

}  // namespace

DigestBehind::DigestBehind() {
  try {
    thread_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // Running() says so.
  }
}

DigestBehind::~DigestBehind() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void DigestBehind::Begin(size_t entry, const Sha256Digest& expected, std::unique_ptr<CFile> file) {
  Chunk chunk(Chunk::begin);
  chunk.entry = entry;
  chunk.expected = expected;
  chunk.file = std::move(file);
  Queue(std::move(chunk));
}

void DigestBehind::Add(const uint8_t* data, size_t count) {
  if (count == 0) return;
  Chunk chunk(Chunk::bytes);
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queuedBytes_ < kMaxQueuedBytes; });
    if (!spare_.empty()) {
      chunk.data = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  chunk.data.assign(data, data + count);
  Queue(std::move(chunk));
}

void DigestBehind::End() { Queue(Chunk(Chunk::end)); }

size_t DigestBehind::FirstMismatch(bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait) changed_.wait(lock, [&] { return unfinished_ == 0; });
  if (failure_) std::rethrow_exception(failure_);
  return mismatch_;
}

size_t DigestBehind::OldestPending() {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.empty() ? kNone : pending_.front();
}

void DigestBehind::Queue(Chunk chunk) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (chunk.kind == Chunk::begin) pending_.push_back(chunk.entry);
    queuedBytes_ += chunk.data.size();
    ++unfinished_;
    queue_.push_back(std::move(chunk));
  }
  changed_.notify_all();
}

void DigestBehind::Work() {
  std::unique_ptr<Sha256> hash;
  std::unique_ptr<CFile> file;
  bool refused = false;  // a write to `file` was
  Sha256Digest expected;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopped, with nothing left
    Chunk chunk = std::move(queue_.front());
    queue_.pop_front();
    // After a failure, what comes is dropped: the pass learns of it and stops.
    bool dropped = static_cast<bool>(failure_);
    lock.unlock();
    bool differs = false;
    std::exception_ptr failure;
    try {
      switch (dropped ? Chunk::dropped : chunk.kind) {
        case Chunk::begin:
          hash = std::make_unique<Sha256>();
          expected = chunk.expected;
          file = std::move(chunk.file);
          refused = false;
          break;
        case Chunk::bytes:
          hash->Update(chunk.data.data(), chunk.data.size());
          if (file && !refused) Write(*file, chunk.data, &refused);
          break;
        case Chunk::end:
          differs = hash->Finish() != expected || refused;
          hash.reset();
          if (file && !refused) file->StartWriteBack();
          file.reset();
          break;
        case Chunk::dropped:
          file.reset();
          break;
      }
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure && !failure_) failure_ = failure;
    if (chunk.kind == Chunk::end && !pending_.empty()) {
      if (differs && mismatch_ == kNone) mismatch_ = pending_.front();
      pending_.pop_front();
    }
    queuedBytes_ -= chunk.data.size();
    --unfinished_;
    if (chunk.kind == Chunk::bytes && spare_.size() < 2) spare_.push_back(std::move(chunk.data));
    changed_.notify_all();
  }
}
