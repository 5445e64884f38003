#include "source/multicast/KyvMulticastStream.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestLog.h"

#include "MulticastTestSupport.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "platform/Event.h"
#include "source/multicast/SmsFile.h"
#include "support/FrameTimes.h"
#include "support/TempFolder.h"
#include "writer/PayloadEncoder.h"
#include "writer/Pixels24.h"

namespace kyv {
namespace {

using test::kGuard;
using test::NextWindowMessage;
using test::Pattern;
using test::RecordBytes;
using test::TRequestRecorder;
using test::WaitUntil;

std::vector<uint8_t> KeyFrame(uint32_t Time, int Width = 64, int Height = 48) {
  return RecordBytes(Time, ftKeyFrame, EncodePayload(TPixels24(Width, Height, 0x00336699), ckZlib),
                     ckZlib);
}

std::vector<uint8_t> Delta(uint32_t Time, size_t Size = 40) {
  return RecordBytes(Time, ftCopyRect, Pattern(Size));
}

// A stream whose receivers never open a socket: the test fills the pools itself. Starting empties
// the pools as the real receivers' start does; opening then waits at the gate, before reading
// starts, until the test opens it, so the test can lay out the pools first.
class TPoolStream : public TKyvMulticastStream {
 public:
  TPoolStream(TPlayContext& Context, std::vector<std::string> Interfaces, bool Gated)
      : TKyvMulticastStream(Context, std::move(Interfaces)), FGated(Gated) {}

  TEvent Gate;
  TEvent SeekDone;
  std::atomic<int> Starts{0};
  std::atomic<int> Stops{0};

  std::string Group() {
    std::lock_guard lock(FLock);
    return FGroup;
  }

 protected:
  void StartReceivers(const std::string& Group, uint16_t Port) override {
    {
      std::lock_guard lock(FLock);
      FGroup = Group + ":" + std::to_string(Port);
    }
    for (size_t i = 0; i < ClientCount(); ++i) Client(i).Drain();
    ++Starts;
    if (FGated) Gate.Wait();
  }
  void StopReceivers() override { ++Stops; }
  void DoSeek(uint32_t Time) override {
    TKyvMulticastStream::DoSeek(Time);
    SeekDone.Set();
  }

 private:
  const bool FGated;
  std::mutex FLock;
  std::string FGroup;  // guarded by FLock
};

class MulticastStream : public ::testing::Test {
 protected:
  MulticastStream() {
    FContext.Wnd = FWindow.Handle();
    FContext.PlayerThread.store(FPlayer.get());
    WriteSmsFile(FSms, "239.12.0.1", 5500);
  }

  void Make(std::vector<std::string> Interfaces, bool Gated = true) {
    FStream = TThread::Create<TPoolStream>(FContext, std::move(Interfaces), Gated);
  }
  // Opens, lets Fill lay out the pools, then lets reading start.
  void OpenWith(const std::function<void()>& Fill) {
    FStream->Open(FSms.string());
    ASSERT_TRUE(WaitUntil([&] { return FStream->Starts.load() == 1; }));
    Fill();
    FStream->Gate.Set();
  }
  TKyvMulticastClient& Client(size_t I) { return FStream->Client(I); }
  std::vector<uint32_t> StoredTimes() { return test::FrameTimes(FContext.Frames); }

  TDecoderUsage FDecoder;
  test::TTempFolder FFolder;
  std::filesystem::path FSms = FFolder / "group.sms";
  TPlayContext FContext;
  TWindow FWindow;
  TThreadPtr<TRequestRecorder> FPlayer = TThread::Create<TRequestRecorder>();
  TThreadPtr<TPoolStream> FStream;  // declared last: it goes first
};

TEST_F(MulticastStream, FirstKeyFrameOpensAndEarlierRecordsAreDropped) {
  Make({"10.0.0.1"});
  OpenWith([&] {
    for (const auto& record : {Delta(100), Delta(200), KeyFrame(300, 640, 480), Delta(400)})
      ASSERT_TRUE(Client(0).Store(record));
  });
  const TMessage opened = NextWindowMessage(FWindow);
  EXPECT_EQ(opened.Msg, UM_OPENED);
  EXPECT_EQ(opened.WParam, 0u);
  EXPECT_EQ(FContext.Header.Width, 640);
  EXPECT_EQ(FContext.Header.Height, 480);
  ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 2; }));
  EXPECT_EQ(StoredTimes(), (std::vector<uint32_t>{300, 400}));
  EXPECT_EQ(FContext.Index.Count(), 1u);
  EXPECT_EQ(FContext.Index.FirstTime(), 300);
  EXPECT_EQ(FStream->SourceKind(), skMulticast);
  EXPECT_EQ(FStream->State(), rsDelivering);
  EXPECT_EQ(FStream->Group(), "239.12.0.1:5500");

  // Later key frames are indexed but announce nothing more.
  ASSERT_TRUE(Client(0).Store(KeyFrame(500)));
  ASSERT_TRUE(WaitUntil([&] { return FContext.Index.Count() == 2; }));
  EXPECT_EQ(NextWindowMessage(FWindow, std::chrono::milliseconds(50)).Msg, 0u);
  EXPECT_EQ(FContext.Header.Width, 640);

  FStream->Close();
  EXPECT_EQ(FStream->Stops.load(), 1);
  EXPECT_EQ(FStream->State(), rsIdle);
}

TEST_F(MulticastStream, SeekAnnouncesTheFirstRecordAtOrAfterTheTargetOnce) {
  Make({"10.0.0.1"});
  OpenWith([&] { ASSERT_TRUE(Client(0).Store(KeyFrame(1000))); });
  ASSERT_EQ(NextWindowMessage(FWindow).Msg, UM_OPENED);
  FStream->Seek(1150);
  ASSERT_TRUE(FStream->SeekDone.WaitFor(kGuard));
  for (uint32_t time : {1100u, 1200u, 1300u, 1400u}) ASSERT_TRUE(Client(0).Store(Delta(time)));
  ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 5; }));
  FStream->Close();
  ASSERT_TRUE(FPlayer->Sync());
  const std::vector<TMessage> requests = FPlayer->Messages();
  ASSERT_EQ(FPlayer->CountOf(UM_REPLAY), 1u);
  for (const TMessage& request : requests) {
    if (request.Msg == UM_REPLAY) {
      EXPECT_EQ(request.WParam, 2u);  // the record at 1200
    }
  }
}

TEST_F(MulticastStream, ClientsTakeTurns) {
  Make({"10.0.0.1", "10.0.0.2"});
  OpenWith([&] {
    for (uint32_t time : {0u, 10u, 20u})
      ASSERT_TRUE(Client(0).Store(time == 0 ? KeyFrame(time) : Delta(time)));
    for (uint32_t time : {11u, 21u}) ASSERT_TRUE(Client(1).Store(Delta(time)));
  });
  ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 5; }));
  EXPECT_EQ(StoredTimes(), (std::vector<uint32_t>{0, 11, 10, 21, 20}));
}

TEST_F(MulticastStream, AsksThePlayThreadToTrimAbove15MiB) {
  Make({"10.0.0.1"});
  OpenWith([&] { ASSERT_TRUE(Client(0).Store(KeyFrame(0))); });
  ASSERT_EQ(NextWindowMessage(FWindow).Msg, UM_OPENED);
  const int64_t keyBytes = FContext.Frames.TotalBytes();
  // Records of 1 MiB each: the store passes 15 MiB with the 15th.
  for (uint32_t i = 1; i <= 16; ++i) {
    const auto record = Delta(i, (1u << 20) - 28);
    ASSERT_TRUE(WaitUntil([&] { return Client(0).Store(record); }));
  }
  ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 17; }));
  FStream->Close();
  ASSERT_TRUE(FPlayer->Sync());
  EXPECT_EQ(FContext.Frames.TotalBytes(), keyBytes + 16 * (1 << 20));
  EXPECT_EQ(FPlayer->CountOf(UM_TRIM), 2u);
  for (const TMessage& request : FPlayer->Messages()) {
    if (request.Msg == UM_TRIM) {
      EXPECT_EQ(request.WParam, 1u);
    }
  }
}

TEST_F(MulticastStream, InvalidDescriptionFileStartsNothing) {
  Make({"10.0.0.1"}, false);
  std::ofstream(FSms, std::ios::trunc) << "[Address]\nip=239.1.1.1\n";
  const test::TLogWatch log;
  FStream->Open(FSms.string());
  const TMessage reply = NextWindowMessage(FWindow);
  EXPECT_EQ(reply.Msg, UM_OPENED);
  EXPECT_EQ(reply.WParam, static_cast<WPARAM>(reInvalidMulticastFile));
  FStream->Close();
  EXPECT_EQ(FStream->Starts.load(), 0);
  EXPECT_EQ(FStream->State(), rsIdle);
  EXPECT_EQ(log.Count("no \"port\""), 1);
}

TEST_F(MulticastStream, WithoutInterfacesReadingFailsAtOnce) {
  Make({}, false);
  EXPECT_EQ(FStream->ClientCount(), 0u);
  const test::TLogWatch log;
  FStream->Open(FSms.string());
  const TMessage reply = NextWindowMessage(FWindow);
  EXPECT_EQ(reply.Msg, UM_SOURCE_ERROR);
  EXPECT_EQ(reply.WParam, static_cast<WPARAM>(reDamaged));
  FStream->Close();
  EXPECT_EQ(log.Count("TKyvMulticastStream.HandleRead raise exception :No network interface"), 1);
}

TEST_F(MulticastStream, UndecodableKeyFramesAreDroppedUntilASoundOneOpens) {
  Make({"10.0.0.1"});
  const test::TLogWatch log;
  OpenWith([&] {
    // A payload that no decoder reads, an empty one, an unknown compression, then a sound one.
    ASSERT_TRUE(Client(0).Store(RecordBytes(5, ftKeyFrame, Pattern(300), ckZlib)));
    ASSERT_TRUE(Client(0).Store(RecordBytes(6, ftKeyFrame, Pattern(0), ckZlib)));
    ASSERT_TRUE(Client(0).Store(Delta(7)));
    ASSERT_TRUE(Client(0).Store(RecordBytes(8, ftKeyFrame, Pattern(64), 0x77)));
    ASSERT_TRUE(Client(0).Store(KeyFrame(9, 320, 200)));
    ASSERT_TRUE(Client(0).Store(Delta(10)));
  });
  const TMessage reply = NextWindowMessage(FWindow);
  EXPECT_EQ(reply.Msg, UM_OPENED);
  EXPECT_EQ(reply.WParam, 0u);
  EXPECT_EQ(FContext.Header.Width, 320);
  EXPECT_EQ(FContext.Header.Height, 200);
  ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 2; }));
  EXPECT_EQ(StoredTimes(), (std::vector<uint32_t>{9, 10}));
  EXPECT_EQ(FStream->State(), rsDelivering);
  // Nothing else reached the control, and the failures were logged, not reported.
  EXPECT_EQ(NextWindowMessage(FWindow, std::chrono::milliseconds(50)).Msg, 0u);
  EXPECT_EQ(log.Count("gives no picture size"), 3);
  EXPECT_EQ(log.Count(TKyvMulticastStream::kReadErrorPrefix), 0);
}

TEST_F(MulticastStream, OpeningForgetsRecordsReceivedBefore) {
  Make({"10.0.0.1"});
  ASSERT_TRUE(Client(0).Store(KeyFrame(1)));
  OpenWith([&] { ASSERT_TRUE(Client(0).Store(KeyFrame(2))); });
  ASSERT_EQ(NextWindowMessage(FWindow).Msg, UM_OPENED);
  ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 1; }));
  EXPECT_EQ(StoredTimes(), (std::vector<uint32_t>{2}));
}

}  // namespace
}  // namespace kyv
