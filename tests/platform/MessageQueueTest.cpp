// Message queues, worker threads and window handles.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "platform/Thread.h"
#include "platform/Window.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

TEST(MessageQueue, KeepsOrderAndFiltersByRange) {
  TMessageQueue q;
  ASSERT_TRUE(q.Post(1, 10));
  ASSERT_TRUE(q.Post(5, 50));
  ASSERT_TRUE(q.Post(2, 20));
  ASSERT_TRUE(q.Post(6, 60));
  TMessage m;
  ASSERT_TRUE(q.Peek(m, 5, 6, false));
  EXPECT_EQ(m.WParam, 50u);
  EXPECT_EQ(q.Count(), 4u);
  ASSERT_TRUE(q.Peek(m, 5, 6, true));
  EXPECT_EQ(m.Msg, 5u);
  EXPECT_FALSE(q.Peek(m, 7, 9, true));
  // What is left comes out in the order it was posted.
  std::vector<UINT> rest;
  while (q.Peek(m)) rest.push_back(m.Msg);
  EXPECT_EQ(rest, (std::vector<UINT>{1, 2, 6}));
}

TEST(MessageQueue, GetIsFalseForQuitAndPostsFailWhenClosedOrFull) {
  TMessageQueue q(2);
  ASSERT_TRUE(q.Post(WM_USER));
  ASSERT_TRUE(q.Post(WM_QUIT));
  EXPECT_FALSE(q.Post(WM_USER + 1));  // full
  TMessage m;
  EXPECT_TRUE(q.Get(m));
  EXPECT_FALSE(q.Get(m));
  q.Close();
  EXPECT_FALSE(q.Post(WM_USER));
  EXPECT_TRUE(q.Closed());
}

TEST(MessageQueue, WaitForReturnsWhenAMessageArrivesAndWakeUpIsCalled) {
  TMessageQueue q;
  EXPECT_FALSE(q.WaitFor(1ms));
  std::atomic<int> wakeUps{0};
  q.SetWakeUp([&] { ++wakeUps; });
  std::thread poster([&] { q.Post(WM_USER); });
  EXPECT_TRUE(q.WaitFor(10s));
  poster.join();
  EXPECT_EQ(wakeUps, 1);
}

// A worker whose constructor sets what its body reads, and whose loop ends on WM_QUIT.
class TEchoThread : public TThread {
 public:
  explicit TEchoThread(TMessageQueue& replies) : FReplies(replies), FReady(42) {}

 protected:
  void Execute() override {
    TMessage m;
    while (Queue().Get(m)) FReplies.Post(m.Msg, static_cast<WPARAM>(FReady));
  }

 private:
  TMessageQueue& FReplies;
  int FReady;
};

TEST(Thread, StartsAfterConstructionAndStopsOnDestruction) {
  TMessageQueue replies;
  {
    auto thread = TThread::Create<TEchoThread>(replies);
    ASSERT_TRUE(SafePostThreadMessage(*thread, WM_USER + 7));
    TMessage m;
    ASSERT_TRUE(replies.WaitFor(10s));
    ASSERT_TRUE(replies.Peek(m));
    EXPECT_EQ(m.Msg, WM_USER + 7);
    EXPECT_EQ(m.WParam, 42u);
  }  // TThreadPtr terminates and joins here
}

class TFailingThread : public TThread {
 protected:
  void Execute() override { throw std::runtime_error("boom"); }
};

TEST(Thread, AFailureEndsTheThreadNotTheProcessAndPostsThenFail) {
  auto thread = TThread::Create<TFailingThread>();
  EXPECT_TRUE(thread->WaitFor(10s));
  EXPECT_TRUE(thread->Finished());
  EXPECT_FALSE(SafePostThreadMessage(*thread, WM_USER));
}

// A worker that blocks until released, so that its queue can fill up.
class TBlockedThread : public TThread {
 public:
  TEvent Release;
  std::atomic<int> Handled{0};

 protected:
  void Execute() override {
    Release.Wait();
    TMessage m;
    while (Queue().Get(m)) ++Handled;
  }
};

TEST(Thread, SafePostRetriesWhileTheQueueIsFull) {
  auto thread = TThread::Create<TBlockedThread>();
  size_t posted = 0;
  while (thread->Queue().Post(WM_USER)) ++posted;
  EXPECT_EQ(posted, TMessageQueue::kDefaultCapacity);
  std::thread releaser([&] {
    std::this_thread::sleep_for(30ms);
    thread->Release.Set();
  });
  EXPECT_TRUE(SafePostThreadMessage(*thread, WM_USER + 1));
  releaser.join();
}

TEST(Window, PostsReachLiveWindowsAndFailForDestroyedOnes) {
  HWND old;
  {
    TWindow wnd;
    old = wnd.Handle();
    EXPECT_TRUE(IsWindow(old));
    EXPECT_TRUE(PostMessage(old, WM_USER + 2, 7, -1));
    TMessage m;
    ASSERT_TRUE(wnd.Queue().Peek(m));
    EXPECT_EQ(m.LParam, -1);
  }
  EXPECT_FALSE(IsWindow(old));
  EXPECT_FALSE(PostMessage(old, WM_USER));
  TWindow next;
  EXPECT_NE(next.Handle(), old);
  EXPECT_FALSE(PostMessage(0, WM_USER));
}

TEST(Window, ConcurrentPostsWhileTheWindowGoesAway) {
  auto wnd = std::make_unique<TWindow>();
  const HWND handle = wnd->Handle();
  std::atomic<bool> stop{false};
  std::vector<std::thread> posters;
  for (int i = 0; i < 3; ++i)
    posters.emplace_back([&] {
      while (!stop) PostMessage(handle, WM_USER);
    });
  std::this_thread::sleep_for(10ms);
  wnd.reset();
  EXPECT_FALSE(PostMessage(handle, WM_USER));
  stop = true;
  for (auto& t : posters) t.join();
}

TEST(Event, AutoResetReleasesOneWaitPerSet) {
  TEvent e;
  EXPECT_FALSE(e.WaitFor(1ms));
  e.Set();
  e.Set();  // setting twice is still one release
  EXPECT_TRUE(e.WaitFor(0ms));
  EXPECT_FALSE(e.WaitFor(1ms));
  TEvent initially(true);
  EXPECT_TRUE(initially.WaitFor(0ms));
  std::thread setter([&] { e.Set(); });
  e.Wait();
  setter.join();
}

}  // namespace
}  // namespace kyv
