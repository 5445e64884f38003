// Window handles: posts reach live windows only, handles are not handed out again at once, and
// a window may go while other threads post to it.
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "platform/Event.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

TEST(Window, PostReachesTheQueueOfTheLiveWindowItNames) {
  TWindow first, second;
  EXPECT_NE(first.Handle(), 0u);
  EXPECT_NE(first.Handle(), second.Handle());
  EXPECT_TRUE(IsWindow(first.Handle()));
  EXPECT_TRUE(PostMessage(second.Handle(), WM_USER + 2, 7, -1));
  EXPECT_EQ(first.Queue().Count(), 0u);
  TMessage m;
  ASSERT_TRUE(second.Queue().Peek(m));
  EXPECT_EQ(m.Msg, WM_USER + 2);
  EXPECT_EQ(m.WParam, 7u);
  EXPECT_EQ(m.LParam, -1);
}

TEST(Window, PostToADestroyedOrUnknownWindowFails) {
  HWND gone;
  {
    TWindow wnd;
    gone = wnd.Handle();
  }
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_FALSE(PostMessage(gone, WM_USER));
  EXPECT_FALSE(IsWindow(0));
  EXPECT_FALSE(PostMessage(0, WM_USER));
  EXPECT_FALSE(PostMessage(0xFFFFFFF0u, WM_USER));
}

TEST(Window, HandlesAreNotReusedAtOnce) {
  std::set<HWND> handles;
  HWND firstGone = 0;
  for (int i = 0; i < 200; ++i) {
    TWindow wnd;
    if (i == 0) firstGone = wnd.Handle();
    EXPECT_TRUE(handles.insert(wnd.Handle()).second) << "handle " << wnd.Handle() << " reused";
  }
  // A stale handle kept by a worker must not reach a window made later.
  TWindow later;
  EXPECT_FALSE(PostMessage(firstGone, WM_USER));
  EXPECT_EQ(later.Queue().Count(), 0u);
}

TEST(Window, PostsFromSeveralThreadsWhileTheWindowGoesAway) {
  constexpr int kPosters = 4;
  for (int round = 0; round < 20; ++round) {
    auto wnd = std::make_unique<TWindow>();
    const HWND handle = wnd->Handle();
    // The wake-up uses an object that the owner frees right after the window.
    auto drainRequests = std::make_unique<std::atomic<int>>(0);
    wnd->Queue().SetWakeUp([counter = drainRequests.get()] { counter->fetch_add(1); });
    std::atomic<bool> destroyed{false};
    std::atomic<int> successes{0}, lateSuccesses{0};
    std::latch running(kPosters);
    std::vector<std::thread> posters;
    for (int i = 0; i < kPosters; ++i)
      posters.emplace_back([&] {
        running.count_down();
        // Each poster goes on until it has seen a post fail after the window went.
        for (;;) {
          const bool gone = destroyed;
          if (PostMessage(handle, WM_USER, 1, 2)) {
            ++successes;
            if (gone) ++lateSuccesses;
          } else if (gone) {
            break;
          }
        }
      });
    running.wait();
    // The UI thread drains until the posters are well under way.
    TMessage m;
    while (successes < 500) {
      if (!wnd->Queue().WaitFor(10s)) break;
      while (wnd->Queue().Peek(m)) {
      }
    }
    wnd.reset();
    destroyed = true;
    drainRequests.reset();
    for (auto& t : posters) t.join();
    EXPECT_GE(successes, 500);
    EXPECT_EQ(lateSuccesses, 0);
    EXPECT_FALSE(IsWindow(handle));
  }
}

}  // namespace
}  // namespace kyv
