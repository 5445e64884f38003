// The control's window pump: one wake-up per burst of posts, no drain inside a drain, and no
// message ever stranded without a wake-up.
#include "control/WindowPump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Event.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

constexpr UINT kMsg = WM_USER + 50;

struct TCountingPump {
  TCountingPump() {
    Pump.SetWakeUp([this] { Wakes.fetch_add(1); });
  }
  bool Post(WPARAM Value = 0) { return PostMessage(Pump.Handle(), kMsg, Value); }

  std::atomic<int> Wakes{0};
  TWindowPump Pump;  // after Wakes: the wake-up uses it
};

TEST(WindowPump, ABurstFromManyThreadsWakesTheHostOnce) {
  TCountingPump host;
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) host.Post(static_cast<WPARAM>(i));
    });
  for (auto& poster : posters) poster.join();
  EXPECT_EQ(host.Wakes.load(), 1);

  int handled = 0;
  EXPECT_TRUE(host.Pump.Drain([&](const TMessage& m) { handled += m.Msg == kMsg; }));
  EXPECT_EQ(handled, kThreads * kEach);
  EXPECT_EQ(host.Wakes.load(), 1);  // nothing was left behind
  host.Post();
  EXPECT_EQ(host.Wakes.load(), 2);  // the next burst wakes again
}

TEST(WindowPump, MessagesWaitingWhenTheWakeUpIsSetWakeItOnce) {
  std::atomic<int> wakes{0};
  TWindowPump pump;  // after wakes, which its wake-up uses
  for (int i = 0; i < 3; ++i) PostMessage(pump.Handle(), kMsg);
  pump.SetWakeUp([&] { ++wakes; });
  EXPECT_EQ(wakes.load(), 1);
  PostMessage(pump.Handle(), kMsg);
  EXPECT_EQ(wakes.load(), 1);
}

TEST(WindowPump, ADrainInsideADrainIsRefusedAndTheOuterTakesWhatArrives) {
  TCountingPump host;
  host.Post(1);
  std::vector<WPARAM> handled;
  bool nestedResult = true;
  ASSERT_TRUE(host.Pump.Drain([&](const TMessage& m) {
    handled.push_back(m.WParam);
    if (m.WParam != 1) return;
    host.Post(2);
    host.Post(3);
    // A modal loop inside a handler drains again: refused, nothing handled twice.
    nestedResult = host.Pump.Drain([&](const TMessage&) { handled.push_back(99); });
  }));
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(handled, (std::vector<WPARAM>{1, 2, 3}));
  EXPECT_FALSE(host.Pump.Draining());
  // Posts made during the drain did not leave the host deaf to the next one.
  const int before = host.Wakes.load();
  host.Post(4);
  EXPECT_EQ(host.Wakes.load(), before + 1);
}

TEST(WindowPump, MessagesLeftByAnEarlyStopOrAFailureAskForAnotherDrain) {
  TCountingPump host;
  for (WPARAM i = 1; i <= 5; ++i) host.Post(i);
  ASSERT_EQ(host.Wakes.load(), 1);

  std::vector<WPARAM> handled;
  const auto record = [&](const TMessage& m) { handled.push_back(m.WParam); };
  EXPECT_TRUE(host.Pump.Drain(record, [&] { return handled.size() == 2; }));
  EXPECT_EQ(handled, (std::vector<WPARAM>{1, 2}));
  EXPECT_EQ(host.Wakes.load(), 2);  // three wait, so the host is woken for them

  EXPECT_THROW(host.Pump.Drain([](const TMessage&) { throw std::runtime_error("handler"); }),
               std::runtime_error);
  EXPECT_FALSE(host.Pump.Draining());
  EXPECT_EQ(host.Wakes.load(), 3);  // the failing one was taken, two still wait

  EXPECT_TRUE(host.Pump.Drain(record));
  EXPECT_EQ(handled, (std::vector<WPARAM>{1, 2, 4, 5}));
  EXPECT_EQ(host.Wakes.load(), 3);
}

// A host that drains only when woken still sees every message while posters keep going: no
// wake-up is lost between a drain's last look at the queue and the next post.
TEST(WindowPump, EveryPostReachesAHostThatDrainsOnlyWhenWoken) {
  TEvent woken;
  std::atomic<int> wakes{0};
  TWindowPump pump;
  pump.SetWakeUp([&] {
    ++wakes;
    woken.Set();
  });
  constexpr int kThreads = 3, kEach = 3000;
  std::atomic<bool> go{false};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kEach; ++i) {
        PostMessage(pump.Handle(), kMsg);
        if (i % 97 == 0) std::this_thread::yield();
      }
    });
  go.store(true);
  int handled = 0, drains = 0;
  bool stranded = false;
  while (handled < kThreads * kEach) {
    if (!woken.WaitFor(10s)) {
      stranded = true;
      break;
    }
    ++drains;
    pump.Drain([&](const TMessage&) { ++handled; });
  }
  for (auto& poster : posters) poster.join();
  EXPECT_FALSE(stranded) << handled << " handled, then no wake-up came";
  EXPECT_EQ(handled, kThreads * kEach);
  EXPECT_LE(wakes.load(), drains + 1);
  pump.SetWakeUp(nullptr);
}

}  // namespace
}  // namespace kyv
