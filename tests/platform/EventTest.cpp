// Auto-reset events.
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace kyv {
namespace {

using namespace std::chrono_literals;

constexpr auto kGuard = 10s;  // only guards against a hang

TEST(Event, OneSetReleasesOneWaitAndResetsItself) {
  TEvent e;
  EXPECT_FALSE(e.WaitFor(0ms));
  e.Set();
  e.Set();  // a second Set before anyone waits is still one release
  EXPECT_TRUE(e.WaitFor(0ms));
  EXPECT_FALSE(e.WaitFor(0ms));
  e.Set();
  e.Wait();
  EXPECT_FALSE(e.WaitFor(0ms));

  TEvent initially(true);
  EXPECT_TRUE(initially.WaitFor(0ms));
  EXPECT_FALSE(initially.WaitFor(0ms));
}

TEST(Event, ResetWithdrawsAPendingSet) {
  TEvent e(true);
  e.Reset();
  EXPECT_FALSE(e.WaitFor(0ms));
  e.Set();
  e.Reset();
  EXPECT_FALSE(e.WaitFor(1ms));
}

TEST(Event, WaitForTimesOutUnlessAnotherThreadSets) {
  TEvent e;
  EXPECT_FALSE(e.WaitFor(20ms));
  std::thread setter([&] { e.Set(); });
  EXPECT_TRUE(e.WaitFor(kGuard));
  setter.join();
}

TEST(Event, EachSetReleasesOneOfSeveralWaiters) {
  TEvent e, released;
  std::atomic<int> count{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (e.WaitFor(kGuard)) ++count;
      released.Set();
    });
  for (int expected = 1; expected <= 3; ++expected) {
    e.Set();
    EXPECT_TRUE(released.WaitFor(kGuard));
    EXPECT_EQ(count, expected);
  }
  for (auto& t : waiters) t.join();
  EXPECT_FALSE(e.WaitFor(0ms));
}

TEST(Event, AWaiterMayFreeTheEventAsSoonAsItIsReleased) {
  // The pattern of a synchronous request: the caller's event goes once the worker has set it.
  for (int i = 0; i < 500; ++i) {
    auto e = std::make_unique<TEvent>();
    std::thread setter([event = e.get()] { event->Set(); });
    EXPECT_TRUE(e->WaitFor(kGuard));
    e.reset();
    setter.join();
  }
}

}  // namespace
}  // namespace kyv
