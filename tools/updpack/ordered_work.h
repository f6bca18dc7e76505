// Work on numbered items spread over threads, its results taken in the items' order: updpack
// compresses independent files on every core and writes them one after the other, so the
// output is the same whatever the number of threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Calls produce(i) for every i below `count` on `threads` threads, never more than `window`
// items ahead of the one being consumed, and consume(i, result) on the calling thread for
// i = 0, 1, ... in order. What produce(i) raises is raised here when item i's turn comes;
// what either raises stops the work (items under way are finished and dropped) and returns
// only once every thread has ended. REQUIRES: threads >= 1, window >= 1.
template <typename Result>
void RunInOrder(size_t count, unsigned threads, size_t window,
                const std::function<Result(size_t)>& produce,
                const std::function<void(size_t, Result&)>& consume) {
  struct Slot {
    bool done = false;
    std::optional<Result> result;
    std::exception_ptr error;
  };
  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable changed;
  size_t next = 0;      // the next item to start
  size_t consumed = 0;  // items handed to consume
  bool stop = false;

  auto work = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || next >= count || next < consumed + window; });
      if (stop || next >= count) return;
      size_t i = next++;
      lock.unlock();
      Slot slot;
      try {
        slot.result.emplace(produce(i));
      } catch (...) {
        slot.error = std::current_exception();
      }
      slot.done = true;
      lock.lock();
      slots[i % window] = std::move(slot);
      changed.notify_all();
    }
  };
  struct Workers {
    std::vector<std::thread> threads;
    std::function<void()> stop;
    ~Workers() {
      stop();
      for (std::thread& thread : threads) thread.join();
    }
  } workers;
  workers.stop = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
    changed.notify_all();
  };
  for (unsigned t = 0; t < threads; ++t) workers.threads.emplace_back(work);

  for (size_t i = 0; i < count; ++i) {
    Slot slot;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return slots[i % window].done; });
      slot = std::move(slots[i % window]);
      slots[i % window] = Slot();
      consumed = i + 1;
      changed.notify_all();
    }
    if (slot.error) std::rethrow_exception(slot.error);
    consume(i, *slot.result);
  }
}
