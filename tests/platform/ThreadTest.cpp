// Worker threads: start after construction, stop on request and on deletion, survive failures;
// SafePostThreadMessage on top of their queues.
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Event.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

constexpr auto kGuard = 10s;  // only guards against a hang

// A worker whose body the test supplies.
class TBodyThread : public TThread {
 public:
  using TBody = std::function<void(TBodyThread&)>;
  explicit TBodyThread(TBody body, size_t capacity = TMessageQueue::kDefaultCapacity)
      : TThread(capacity), FBody(std::move(body)) {}

 protected:
  void Execute() override { FBody(*this); }

 private:
  TBody FBody;
};

// Takes messages until WM_QUIT, recording their numbers (read them after the thread has ended).
void RecordMessages(TBodyThread& self, std::vector<UINT>& seen) {
  TMessage m;
  while (self.Queue().Get(m)) seen.push_back(m.Msg);
}

// The body reads fields that only the most-derived constructor sets; a thread started any
// earlier would see them unset (or call a pure virtual function).
class TLateFieldThread : public TThread {
 public:
  explicit TLateFieldThread(std::atomic<int>& seen) : FSeen(seen) {
    std::this_thread::yield();
    FValue = 42;
    FName = "worker";
  }

 protected:
  void Execute() override { FSeen = FName == "worker" ? FValue : -1; }

 private:
  std::atomic<int>& FSeen;
  int FValue = 0;
  std::string FName;
};

TEST(Thread, ExecuteStartsOnlyAfterTheDerivedConstructorHasRun) {
  for (int i = 0; i < 50; ++i) {
    std::atomic<int> seen{0};
    auto thread = TThread::Create<TLateFieldThread>(seen);
    ASSERT_TRUE(thread->WaitFor(kGuard));
    EXPECT_EQ(seen, 42);
  }
}

TEST(Thread, TerminateWakesAThreadBlockedInGet) {
  TEvent running;
  std::vector<UINT> seen;
  auto thread = TThread::Create<TBodyThread>([&](TBodyThread& self) {
    running.Set();
    RecordMessages(self, seen);
  });
  ASSERT_TRUE(running.WaitFor(kGuard));
  EXPECT_FALSE(thread->Terminated());
  EXPECT_FALSE(thread->WaitFor(1ms));  // blocked in Get, cannot have ended
  EXPECT_FALSE(thread->Finished());
  thread->Terminate();
  EXPECT_TRUE(thread->Terminated());
  ASSERT_TRUE(thread->WaitFor(kGuard));
  EXPECT_TRUE(thread->Finished());
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(thread->Queue().Closed());
}

TEST(Thread, TerminateReachesAThreadWhoseQueueIsFull) {
  TEvent release;
  std::vector<UINT> seen;
  auto thread = TThread::Create<TBodyThread>(
      [&](TBodyThread& self) {
        release.WaitFor(kGuard);
        RecordMessages(self, seen);
      },
      2);
  ASSERT_TRUE(thread->Queue().Post(WM_USER));
  ASSERT_TRUE(thread->Queue().Post(WM_USER + 1));
  ASSERT_FALSE(thread->Queue().Post(WM_USER + 2));
  thread->Terminate();
  release.Set();
  ASSERT_TRUE(thread->WaitFor(kGuard));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER, WM_USER + 1}));
}

TEST(Thread, DeletingThePointerStopsAndJoinsTheThread) {
  std::atomic<bool> bodyReturned{false};
  TEvent running;
  {
    auto thread = TThread::Create<TBodyThread>([&](TBodyThread& self) {
      running.Set();
      TMessage m;
      while (self.Queue().Get(m)) {
      }
      // Work after the loop: deletion must wait for it.
      for (int i = 0; i < 1000; ++i) std::this_thread::yield();
      bodyReturned = true;
    });
    ASSERT_TRUE(running.WaitFor(kGuard));
  }
  EXPECT_TRUE(bodyReturned);

  // A thread deleted at once, before its body has had a chance to run, is stopped just as well.
  for (int i = 0; i < 20; ++i) {
    std::vector<UINT> seen;
    auto thread =
        TThread::Create<TBodyThread>([&](TBodyThread& self) { RecordMessages(self, seen); });
    thread.reset();
    EXPECT_TRUE(seen.empty());
  }
}

TEST(Thread, AFailureEscapingTheBodyEndsOnlyThatThread) {
  const std::vector<std::function<void()>> failures = {
      [] { throw std::runtime_error("boom"); },
      [] { throw EKyvError("Read error", 5); },
      [] { KYV_ASSERT(1 + 1 == 3); },
      [] { throw 17; },
  };
  for (const auto& fail : failures) {
    auto thread = TThread::Create<TBodyThread>([&](TBodyThread&) { fail(); });
    ASSERT_TRUE(thread->WaitFor(kGuard));
    EXPECT_TRUE(thread->Finished());
    EXPECT_FALSE(thread->Terminated());
    EXPECT_TRUE(thread->Queue().Closed());
    EXPECT_FALSE(SafePostThreadMessage(*thread, WM_USER));
  }
}

TEST(Thread, JoiningWorksFromSeveralThreadsButNotFromTheThreadItself) {
  std::atomic<bool> refusedSelfJoin{false};
  TEvent go;
  auto thread = TThread::Create<TBodyThread>([&](TBodyThread& self) {
    try {
      self.WaitFor();
    } catch (const EAssertionFailed&) {
      refusedSelfJoin = true;
    }
    go.WaitFor(kGuard);
  });
  std::thread other([&] { thread->WaitFor(); });
  go.Set();
  thread->WaitFor();
  other.join();
  thread->WaitFor();  // joining an ended thread again returns at once
  EXPECT_TRUE(refusedSelfJoin);
  EXPECT_TRUE(thread->Finished());
}

TEST(SafePostThreadMessage, TrueOncePostedAndTheWorkerReceivesIt) {
  TMessageQueue replies;
  auto thread = TThread::Create<TBodyThread>([&](TBodyThread& self) {
    TMessage m;
    while (self.Queue().Get(m)) replies.Post(m.Msg, m.WParam, m.LParam);
  });
  ASSERT_TRUE(SafePostThreadMessage(*thread, WM_USER + 4, 1234, -5));
  TMessage m;
  ASSERT_TRUE(replies.WaitFor(kGuard));
  ASSERT_TRUE(replies.Peek(m));
  EXPECT_EQ(m.Msg, WM_USER + 4);
  EXPECT_EQ(m.WParam, 1234u);
  EXPECT_EQ(m.LParam, -5);
}

TEST(SafePostThreadMessage, FalseOnceTheThreadHasEnded) {
  auto thread = TThread::Create<TBodyThread>([](TBodyThread&) {});
  thread->WaitFor();
  EXPECT_FALSE(SafePostThreadMessage(*thread, WM_USER));
  EXPECT_EQ(thread->Queue().Count(), 0u);
}

TEST(SafePostThreadMessage, RetriesWhileTheQueueIsFullUntilTheWorkerDrainsIt) {
  TEvent release, posting;
  std::vector<UINT> seen;
  auto thread = TThread::Create<TBodyThread>(
      [&](TBodyThread& self) {
        release.WaitFor(kGuard);
        RecordMessages(self, seen);
      },
      1);
  ASSERT_TRUE(SafePostThreadMessage(*thread, WM_USER));
  ASSERT_FALSE(thread->Queue().Post(WM_USER + 1));  // full while the worker is held
  std::atomic<bool> posted{false};
  std::thread requester([&] {
    posting.Set();
    posted = SafePostThreadMessage(*thread, WM_USER + 2);
  });
  EXPECT_TRUE(posting.WaitFor(kGuard));
  release.Set();
  requester.join();
  EXPECT_TRUE(posted);
  thread->Terminate();
  thread->WaitFor();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER, WM_USER + 2}));
}

TEST(SafePostThreadMessage, GivesUpWhenTheThreadEndsWhileItsQueueIsFull) {
  TEvent release, posting;
  auto thread = TThread::Create<TBodyThread>(
      [&](TBodyThread&) { release.WaitFor(kGuard); },  // ends without reading its queue
      1);
  ASSERT_TRUE(SafePostThreadMessage(*thread, WM_USER));
  std::atomic<bool> posted{true};
  std::thread requester([&] {
    posting.Set();
    posted = SafePostThreadMessage(*thread, WM_USER + 1);
  });
  EXPECT_TRUE(posting.WaitFor(kGuard));
  release.Set();
  requester.join();
  EXPECT_FALSE(posted);
}

// Moves a manual clock on in steps from a helper thread until the scope ends, so that waits
// bounded by the platform clock run out without the test waiting seconds.
class TClockMover {
 public:
  explicit TClockMover(TManualClock& Clock)
      : FThread([this, &Clock] {
          while (!FStop.load()) {
            Clock.Advance(100);
            std::this_thread::sleep_for(1ms);
          }
        }) {}
  ~TClockMover() {
    FStop.store(true);
    FThread.join();
  }

 private:
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// A worker stuck in a call: requests to it end within their limits, and the thread is still
// stopped and joined once it comes back.
TEST(ThreadBounds, PostsAndStopsGiveUpOnAStuckWorkerAfterTheirLimit) {
  TManualClock clock(1);
  TEvent release;
  auto thread =
      TThread::Create<TBodyThread>([&](TBodyThread&) { ASSERT_TRUE(release.WaitFor(kGuard)); }, 1);
  ASSERT_TRUE(thread->Queue().Post(WM_USER));  // the queue is full now
  {
    TClockMover mover(clock);
    const uint32_t before = clock.Now();
    EXPECT_FALSE(SafePostThreadMessageFor(*thread, 2000, WM_USER + 1));
    EXPECT_GE(clock.Now() - before, 2000u);
    EXPECT_FALSE(SafePostThreadMessage(*thread, WM_USER + 2));
    EXPECT_FALSE(thread->StopAndWaitFor(2000));
    EXPECT_FALSE(thread->Finished());
  }
  release.Set();
  thread->StopAndWait();
  EXPECT_TRUE(thread->Finished());
  // A thread that has ended refuses at once, whatever the limit.
  EXPECT_FALSE(SafePostThreadMessageFor(*thread, UINT32_MAX, WM_USER));
  EXPECT_TRUE(thread->StopAndWaitFor(0));
}

}  // namespace
}  // namespace kyv
