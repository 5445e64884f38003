#include "source/ReadThread.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestLog.h"

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "log/Log.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Event.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

constexpr auto kGuard = 10s;

// Records what the loop asks of it.
class TProbeReader : public TReadThread {
 public:
  explicit TProbeReader(TPlayContext& Context) : TReadThread(Context) {}

  void Count(uint64_t Bytes) { AddBytesReceived(Bytes); }
  void Deliver() { SetState(rsDelivering); }

  std::mutex Lock;
  std::vector<std::string> Calls;  // guarded by Lock
  TEvent Opened;
  TEvent ReadDone;
  std::atomic<bool> FailReads{false};

  std::vector<std::string> TakeCalls() {
    std::lock_guard lock(Lock);
    return std::move(Calls);
  }

 protected:
  void DoOpen() override {
    Note("open " + Address() + "|" + Params());
    Opened.Set();
  }
  void DoRead(int64_t Time) override {
    Note("read " + std::to_string(Time));
    ReadDone.Set();
    if (FailReads) throw EKyvError("probe read failed");
  }
  void DoSeek(uint32_t Time) override { Note("seek " + std::to_string(Time)); }
  void DoReset() override { Note("reset"); }
  void DoSendText(std::string_view Text) override { Note("text " + std::string(Text)); }

 private:
  void Note(std::string Call) {
    std::lock_guard lock(Lock);
    Calls.push_back(std::move(Call));
  }
};

// Overrides nothing: every request but the ignored ones meets the abstract operations.
class TBareReader : public TReadThread {
 public:
  explicit TBareReader(TPlayContext& Context) : TReadThread(Context) {}
};

TEST(ReadThread, RequestsReachTheirOperationsInOrder) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  reader->Open("a.kyv", "line");
  reader->Read(-1);
  reader->Read(1500);
  reader->Seek(0xFFFFFFFF);
  reader->Queue().Post(WM_USER + 77);  // not a reader request: ignored
  reader->PostText("");                // posts nothing
  reader->PostText("hello");
  reader->Close();
  EXPECT_EQ(reader->TakeCalls(),
            (std::vector<std::string>{"open a.kyv|line", "read -1", "read 1500", "seek 4294967295",
                                      "text hello", "reset"}));
  EXPECT_TRUE(reader->Stopping());
}

TEST(ReadThread, SeekRejectsTimesOutsideTheClock) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  EXPECT_THROW(reader->Seek(-1), EKyvError);
  EXPECT_THROW(reader->Seek(int64_t{1} << 32), EKyvError);
}

TEST(ReadThread, TextWhileDeliveringGoesBackToReading) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  reader->Deliver();
  reader->PostText("x");
  ASSERT_TRUE(reader->ReadDone.WaitFor(kGuard));
  reader->Close();
  EXPECT_EQ(reader->TakeCalls(), (std::vector<std::string>{"text x", "read -1", "reset"}));
}

TEST(ReadThread, FailingOperationIsLoggedAndTheLoopGoesOn) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  reader->FailReads = true;
  const test::TLogWatch log;
  reader->Read(7);
  reader->Close();
  EXPECT_EQ(reader->TakeCalls(), (std::vector<std::string>{"read 7", "reset"}));
  EXPECT_EQ(log.Count("probe read failed"), 1);
}

TEST(ReadThread, AbstractOperationsFailWithoutEndingTheThread) {
  TPlayContext context;
  auto reader = TThread::Create<TBareReader>(context);
  const test::TLogWatch log;
  reader->Open("a.kyv");
  reader->PostText("abc");  // its block is freed although the operation fails
  reader->Close();          // DoReset fails too, and Close still returns
  EXPECT_FALSE(reader->Finished());
  EXPECT_GE(log.Count("Abstract error"), 1);
}

TEST(ReadThread, RequestsToAnEndedReaderNeitherWaitNorLeak) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  reader->Terminate();
  ASSERT_TRUE(reader->WaitFor(kGuard));
  reader->PostText("lost");  // the post fails: the block is freed here
  reader->Close();           // the post fails: no wait
  reader->Read(5);
  EXPECT_TRUE(reader->TakeCalls().empty());
}

TEST(ReadThread, ConcurrentClosesBothReturn) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  auto first = std::async(std::launch::async, [&] { reader->Close(); });
  auto second = std::async(std::launch::async, [&] { reader->Close(); });
  ASSERT_EQ(first.wait_for(kGuard), std::future_status::ready);
  ASSERT_EQ(second.wait_for(kGuard), std::future_status::ready);
  EXPECT_EQ(reader->TakeCalls(), (std::vector<std::string>{"reset", "reset"}));
}

TEST(ReadThread, UnhandledTextsAreFreedWithTheReader) {
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  reader->Terminate();  // WM_QUIT first: the texts behind it are never handled
  reader->PostText("one");
  reader->PostText("two");
  reader.reset();  // the leak checker of the sanitizer build sees any block left
}

TEST(ReadThread, BitRateCoversTheTimeSinceThePreviousCall) {
  TManualClock clock(0xFFFFFFF0);  // the window crosses the wrap of the clock
  TPlayContext context;
  auto reader = TThread::Create<TProbeReader>(context);
  reader->Open("x");
  ASSERT_TRUE(reader->Opened.WaitFor(kGuard));  // the thread has started its window

  reader->Count(1000);
  clock.Advance(0x20);  // 32 ms
  EXPECT_EQ(reader->BitRate(), 1000u * 8 / 32);
  // Same millisecond: 0, and the bytes stay counted.
  reader->Count(500);
  EXPECT_EQ(reader->BitRate(), 0u);
  EXPECT_EQ(reader->BitRate(), 0u);
  clock.Advance(4);
  EXPECT_EQ(reader->BitRate(), 500u * 8 / 4);
  clock.Advance(10);
  EXPECT_EQ(reader->BitRate(), 0u);  // nothing received
}

TEST(PlayContext, ResetForgetsTheSourceAndPostsGoOnlyToALivePlayer) {
  TPlayContext context;
  context.Header.Width = 100;
  context.Index.AddEntry(0, false, 0);
  TFrameHeader header{};
  header.FrameType = ftKeyFrame;
  context.Frames.Add(TFrameRecord::Make(header, {}));
  context.Reset();
  EXPECT_EQ(context.Header.Width, 0);
  EXPECT_EQ(context.Frames.Count(), 0);
  EXPECT_TRUE(context.Index.IsEmpty());

  EXPECT_FALSE(context.PostToPlayer(UM_REPLAY, 1));
  auto player = TThread::Create<TProbeReader>(context);
  context.PlayerThread = player.get();
  player->Terminate();
  ASSERT_TRUE(player->WaitFor(kGuard));
  EXPECT_FALSE(context.PostToPlayer(UM_REPLAY, 1));
}

// A reader whose read is stuck in a call that no abort reaches, as a blocking open of a FIFO was.
class TStuckReader : public TReadThread {
 public:
  explicit TStuckReader(TPlayContext& Context) : TReadThread(Context) {}
  TEvent Entered;
  TEvent Release;

 protected:
  void DoRead(int64_t) override {
    Entered.Set();
    Release.WaitFor(kGuard);
  }
  void DoReset() override {}
};

TEST(ReadThread, CloseReturnsWithinItsLimitWhenTheReaderIsStuckAndSaysSo) {
  TPlayContext context;
  TManualClock clock(1);
  test::TLogWatch log;
  auto reader = TThread::Create<TStuckReader>(context);
  reader->Read(-1);
  ASSERT_TRUE(reader->Entered.WaitFor(kGuard));
  auto closing = std::async(std::launch::async, [&] { return reader->Close(); });
  // Close waits on the platform clock: it has not given up before its limit.
  EXPECT_EQ(closing.wait_for(50ms), std::future_status::timeout);
  clock.Advance(TReadThread::kStopLimitMs);
  ASSERT_EQ(closing.wait_for(kGuard), std::future_status::ready);
  EXPECT_FALSE(closing.get());
  EXPECT_EQ(log.Count("did not stop within 5000 ms"), 1);
  // Once the call comes back, the reader stops as usual.
  reader->Release.Set();
  EXPECT_TRUE(reader->Close());
}

}  // namespace
}  // namespace kyv
