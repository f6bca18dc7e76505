// Descriptors handed over are all closed: once Drain returns, and once the holder has gone,
// more of them than may wait at once.
#include "platform/posix/deferred_closes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

std::atomic<int> closed{0};

// Slow enough that closes are still under way when the caller goes on.
int SlowClose(int fd) {
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ++closed;
  return ::close(fd);
}

TEST(DeferredCloses, ClosesEveryDescriptorHandedOver) {
  constexpr int kCount = 150;
  for (bool drain : {true, false}) {
    closed = 0;
    std::vector<int> readEnds;
    {
      DeferredCloses closes(SlowClose);
      for (int k = 0; k < kCount; ++k) {
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
        readEnds.push_back(ends[0]);
        closes.Close(ends[1]);
      }
      if (drain) {
        closes.Drain();
        EXPECT_EQ(closed, kCount);
      }
    }
    EXPECT_EQ(closed, kCount) << drain;
    for (int fd : readEnds) {
      char byte;
      EXPECT_EQ(::read(fd, &byte, 1), 0) << drain;  // ended, not empty for now
      ::close(fd);
    }
  }
}

}  // namespace
