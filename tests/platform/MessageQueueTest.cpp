// Thread and window message queues: order, filters, limits and wake-ups.
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/Event.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

// Bounded waits below only guard against a hang; passing runs never reach them.
constexpr auto kGuard = 10s;

std::vector<UINT> Drain(TMessageQueue& q) {
  std::vector<UINT> numbers;
  TMessage m;
  while (q.Peek(m)) numbers.push_back(m.Msg);
  return numbers;
}

TEST(MessageQueue, MessagesComeOutInPostingOrderWithTheirParameters) {
  TMessageQueue q;
  const WPARAM big = UINTPTR_MAX;
  ASSERT_TRUE(q.Post(WM_USER + 3, big, -1));
  ASSERT_TRUE(q.Post(WM_USER + 1, 1, INTPTR_MIN));
  ASSERT_TRUE(q.Post(WM_USER + 2));
  EXPECT_EQ(q.Count(), 3u);
  TMessage m;
  ASSERT_TRUE(q.Get(m));
  EXPECT_EQ(m.Msg, WM_USER + 3);
  EXPECT_EQ(m.WParam, big);
  EXPECT_EQ(m.LParam, -1);
  ASSERT_TRUE(q.Get(m));
  EXPECT_EQ(m.Msg, WM_USER + 1);
  EXPECT_EQ(m.LParam, INTPTR_MIN);
  ASSERT_TRUE(q.Get(m));
  EXPECT_EQ(m.Msg, WM_USER + 2);
  EXPECT_EQ(m.WParam, 0u);
  EXPECT_EQ(q.Count(), 0u);
  EXPECT_FALSE(q.Peek(m));
}

TEST(MessageQueue, PeekWithoutRemovalLeavesTheMessageInPlace) {
  TMessageQueue q;
  q.Post(WM_USER, 7);
  q.Post(WM_USER + 1, 8);
  TMessage m;
  ASSERT_TRUE(q.Peek(m, 0, 0, false));
  EXPECT_EQ(m.WParam, 7u);
  ASSERT_TRUE(q.Peek(m, 0, 0, false));
  EXPECT_EQ(m.WParam, 7u);
  EXPECT_EQ(q.Count(), 2u);
  ASSERT_TRUE(q.Peek(m, 0, 0, true));
  EXPECT_EQ(m.WParam, 7u);
  ASSERT_TRUE(q.Peek(m, 0, 0, false));
  EXPECT_EQ(m.WParam, 8u);
  EXPECT_EQ(q.Count(), 1u);
}

TEST(MessageQueue, RangeFilterTakesTheFirstMessageInRangeAndKeepsTheRestInOrder) {
  TMessageQueue q;
  for (UINT msg : {1u, 5u, 2u, 6u, 5u, 9u}) q.Post(msg, msg * 10 + q.Count());
  TMessage m;
  ASSERT_TRUE(q.Peek(m, 5, 6, false));
  EXPECT_EQ(m.WParam, 51u);  // the first 5, not the later one
  ASSERT_TRUE(q.Peek(m, 5, 6, true));
  EXPECT_EQ(m.WParam, 51u);
  ASSERT_TRUE(q.Peek(m, 5, 6, true));
  EXPECT_EQ(m.Msg, 6u);
  // Both bounds belong to the range.
  ASSERT_TRUE(q.Peek(m, 2, 2, true));
  EXPECT_EQ(m.Msg, 2u);
  ASSERT_TRUE(q.Peek(m, 9, 20, true));
  EXPECT_EQ(m.Msg, 9u);
  EXPECT_FALSE(q.Peek(m, 7, 8, true));
  EXPECT_FALSE(q.Peek(m, 3, 4, false));
  ASSERT_TRUE(q.Peek(m, 1, 1, true));
  // A range starting at 0 is a range, not "every message".
  q.Post(3);
  ASSERT_TRUE(q.Peek(m, 0, 4, false));
  EXPECT_EQ(m.Msg, 3u);
  EXPECT_EQ(Drain(q), (std::vector<UINT>{5, 3}));
}

TEST(MessageQueue, GetIsFalseForQuitAndLeavesLaterMessagesWaiting) {
  TMessageQueue q;
  q.Post(WM_USER);
  q.Post(WM_QUIT, 3);
  q.Post(WM_USER + 1);
  TMessage m;
  EXPECT_TRUE(q.Get(m));
  EXPECT_EQ(m.Msg, WM_USER);
  EXPECT_FALSE(q.Get(m));
  EXPECT_EQ(m.Msg, WM_QUIT);
  EXPECT_EQ(m.WParam, 3u);
  EXPECT_TRUE(q.Get(m));
  EXPECT_EQ(m.Msg, WM_USER + 1);
}

TEST(MessageQueue, PostsFailWhenFullOrClosedAndQuitStillFitsAFullQueue) {
  TMessageQueue q(2);
  EXPECT_TRUE(q.Post(WM_USER));
  EXPECT_TRUE(q.Post(WM_USER + 1));
  EXPECT_FALSE(q.Post(WM_USER + 2));
  EXPECT_EQ(q.Count(), 2u);
  // A request to end must reach the loop even when the owner has fallen behind.
  EXPECT_TRUE(q.Post(WM_QUIT));
  EXPECT_EQ(q.Count(), 3u);
  TMessage m;
  ASSERT_TRUE(q.Get(m));
  ASSERT_TRUE(q.Get(m));
  EXPECT_TRUE(q.Post(WM_USER + 3));  // room again
  EXPECT_FALSE(q.Closed());
  q.Close();
  EXPECT_TRUE(q.Closed());
  EXPECT_FALSE(q.Post(WM_USER + 4));
  EXPECT_FALSE(q.Post(WM_QUIT));
  // What was queued before closing can still be taken.
  EXPECT_EQ(Drain(q), (std::vector<UINT>{WM_QUIT, WM_USER + 3}));
}

TEST(MessageQueue, WaitForTimesOutOnAnEmptyQueueAndLeavesTheMessage) {
  TMessageQueue q;
  EXPECT_FALSE(q.WaitFor(0ms));
  EXPECT_FALSE(q.WaitFor(5ms));
  q.Post(WM_USER);
  EXPECT_TRUE(q.WaitFor(0ms));
  EXPECT_EQ(q.Count(), 1u);
}

TEST(MessageQueue, WaitingOwnerWakesWhenAnotherThreadPosts) {
  TMessageQueue q;
  TEvent started, woke;
  std::atomic<bool> waited{false};
  std::thread owner([&] {
    started.Set();
    // Far longer than the guard below: only a post ends this wait in time.
    waited = q.WaitFor(60s);
    woke.Set();
  });
  EXPECT_TRUE(started.WaitFor(kGuard));
  q.Post(WM_USER);
  EXPECT_TRUE(woke.WaitFor(kGuard));
  owner.join();
  EXPECT_TRUE(waited);

  std::thread getter([&] {
    TMessage m;
    started.Set();
    q.Get(m);  // takes the first message
    q.Get(m);  // blocks until the next post
    waited = m.Msg == WM_USER + 1;
    woke.Set();
  });
  EXPECT_TRUE(started.WaitFor(kGuard));
  q.Post(WM_USER + 1);
  EXPECT_TRUE(woke.WaitFor(kGuard));
  getter.join();
  EXPECT_TRUE(waited);
}

TEST(MessageQueue, WakeUpFollowsEverySuccessfulPostOutsideTheLock) {
  TMessageQueue q(2);
  std::vector<size_t> countsSeen;
  // Reading the queue from the wake-up would deadlock if it were called under the lock.
  q.SetWakeUp([&] { countsSeen.push_back(q.Count()); });
  q.Post(WM_USER);
  q.Post(WM_USER);
  q.Post(WM_USER);  // refused: full
  EXPECT_EQ(countsSeen, (std::vector<size_t>{1, 2}));
  q.SetWakeUp(nullptr);
  TMessage m;
  q.Get(m);
  q.Post(WM_USER);
  EXPECT_EQ(countsSeen.size(), 2u);
  q.SetWakeUp([&] { countsSeen.push_back(100); });
  q.Close();
  q.Post(WM_USER);  // refused: closed
  EXPECT_EQ(countsSeen.size(), 2u);
}

TEST(MessageQueue, WakeUpFromSeveralPostersCountsEveryPost) {
  TMessageQueue q(100000);
  std::atomic<int> wakeUps{0};
  q.SetWakeUp([&] { ++wakeUps; });
  std::vector<std::thread> posters;
  for (int i = 0; i < 4; ++i)
    posters.emplace_back([&] {
      for (int n = 0; n < 1000; ++n) q.Post(WM_USER);
    });
  for (auto& t : posters) t.join();
  EXPECT_EQ(wakeUps, 4000);
  EXPECT_EQ(q.Count(), 4000u);
}

TEST(MessageQueue, CloseWaitsForAWakeUpThatIsStillRunning) {
  TMessageQueue q;
  TEvent entered, release, closed;
  std::atomic<bool> closedWhileRunning{false};
  q.SetWakeUp([&] {
    entered.Set();
    release.WaitFor(kGuard);
    closedWhileRunning = closed.WaitFor(0ms);
  });
  std::thread poster([&] { q.Post(WM_USER); });
  EXPECT_TRUE(entered.WaitFor(kGuard));
  std::thread closer([&] {
    q.Close();
    closed.Set();
  });
  // The owner may free what the wake-up uses once Close returns, so it must not return yet.
  EXPECT_FALSE(closed.WaitFor(50ms));
  release.Set();
  poster.join();
  closer.join();
  EXPECT_FALSE(closedWhileRunning);
  EXPECT_TRUE(q.Closed());
}

}  // namespace
}  // namespace kyv
