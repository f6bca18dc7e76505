// Descriptors closed on threads of their own. Closing the last descriptor of a file that has
// lost its last name frees the file, and where the file system discards freed blocks as it
// frees them (ext4 without a journal, mounted with discard) that waits for the disk, about a
// quarter of a millisecond a file. Replacing one installed file after another then waits on
// each previous version in turn; here several are freed at once while the caller goes on.
#pragma once

#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class DeferredCloses {
 public:
  // `close`: how a descriptor is closed (a test's slower one).
  explicit DeferredCloses(int (*close)(int) = ::close) : close_(close) {}
  // Closes what is still handed over.
  ~DeferredCloses();
  DeferredCloses(const DeferredCloses&) = delete;
  DeferredCloses& operator=(const DeferredCloses&) = delete;

  // Takes `fd` over and closes it soon: at once, where no thread can be started. Waits while
  // many are handed over and not yet closed, so that they never use up the process's
  // descriptors.
  void Close(int fd);
  // Returns once every descriptor handed over is closed. The threads end with it: they live
  // from a first Close to the next Drain only, and a process forks outside that time.
  void Drain();

 private:
  void Work(unsigned generation);

  int (*const close_)(int);
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<int> queue_;
  unsigned generation_ = 0;  // of the threads started now
  unsigned ended_ = 0;       // the threads of every earlier generation end
  std::vector<std::thread> threads_;
};
