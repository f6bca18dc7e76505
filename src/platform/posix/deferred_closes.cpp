#include "platform/posix/deferred_closes.h"

#include <system_error>

namespace {

// A disk takes several discards at once; more threads than this gain nothing measurable.
constexpr size_t kThreads = 4;
// Descriptors handed over and not yet closed, at most.
constexpr size_t kMaxQueued = 64;

}  // namespace

DeferredCloses::~DeferredCloses() { Drain(); }

void DeferredCloses::Close(int fd) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (threads_.size() < kThreads) {
    try {
      threads_.emplace_back([this, generation = generation_] { Work(generation); });
    } catch (const std::system_error&) {
      break;  // as many as could be started do the work; with none, it is done here
    }
  }
  if (threads_.empty()) {
    lock.unlock();
    close_(fd);
    return;
  }
  changed_.wait(lock, [&] { return queue_.size() < kMaxQueued; });
  queue_.push_back(fd);
  changed_.notify_all();
}

void DeferredCloses::Drain() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(threads_);
    // These threads end once nothing is left; any started after this are of the next
    // generation, for another caller's closes.
    ended_ = ++generation_;
  }
  changed_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

void DeferredCloses::Work(unsigned generation) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return generation < ended_ || !queue_.empty(); });
    if (queue_.empty()) return;  // ended, with nothing left
    int fd = queue_.front();
    queue_.pop_front();
    lock.unlock();
    close_(fd);
    lock.lock();
    changed_.notify_all();
  }
}
