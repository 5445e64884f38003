// The live TCP client against a station that the test plays itself, for what a real station
// will not do: odd message boundaries, oversized and damaged messages, refusals and silences.
#include "source/live/KyvStream.h"

#include <optional>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "LiveTestSupport.h"
#include "com/ComPtr.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/BitmapFormat.h"
#include "decoder/ReaderErrors.h"
#include "platform/Clock.h"
#include "platform/LittleEndian.h"
#include "platform/System.h"
#include "source/live/StationMessageHeader.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using test::kGuard;
using test::TEventSink;
using test::TScriptedStation;
using test::TWireMessage;
using test::WaitUntil;
using test::WaitWindowMessage;

class LiveStream : public ::testing::Test {
 protected:
  void SetUp() override {
    Context.Wnd = Window.Handle();
    Stream = TThread::Create<TKyvStream>(Context, TComPtr<IDispatch>(Sink));
  }

  // The code of the next UM_SOURCE_ERROR, -1 when none comes.
  int ErrorCode(std::chrono::milliseconds Timeout = kGuard) {
    const std::optional<TMessage> message = WaitWindowMessage(Window, UM_SOURCE_ERROR, Timeout);
    return message ? static_cast<int>(message->WParam) : -1;
  }

  // Opens the stream on the scripted station and lets it log in.
  void OpenAndLogIn(const std::string& Reply = "Permission=True\r\n") {
    Stream->Open(Station.Address());
    ASSERT_TRUE(Station.Login(Reply));
  }

  // Installs a clock that the test moves. It outlives the stream, whose reader reads it until it
  // ends, also when a failed assertion leaves the test early.
  TManualClock& ManualClock(uint32_t Start) { return Clock.emplace(Start); }

  std::optional<TManualClock> Clock;
  TWindow Window;
  TPlayContext Context;
  TComPtr<TEventSink> Sink = com::MakeCom<TEventSink>();
  TScriptedStation Station;
  TThreadPtr<TKyvStream> Stream;  // last: stopped before everything it uses
};

TEST_F(LiveStream, LogsInAndStoresFramesFromTheFirstKeyFrameOn) {
  OpenAndLogIn("Permission=True\r\nTitle=Morning class\r\nAuthor=\r\nDescription=Live\r\n");
  EXPECT_EQ(Station.LoginText(),
            "Login\r\nChannel=demo\r\nComputerName=" + ComputerName() + "\r\n\r\n");
  const std::vector<uint8_t> before = test::PlainRecord(900, 50);
  const std::vector<uint8_t> key = test::KeyFrameRecord(1000, 320, 200);
  const std::vector<uint8_t> after = test::PlainRecord(1040, 70, ftXorRect);
  Station.Send(test::WireMessage(mtFrame, before));
  Station.Send(test::WireMessage(mtFrame, key));
  Station.Send(test::WireMessage(mtFrame, after));

  ASSERT_TRUE(WaitWindowMessage(Window, UM_OPENED).has_value());
  EXPECT_EQ(Context.Header.Width, 320);
  EXPECT_EQ(Context.Header.Height, 200);
  EXPECT_EQ(Stream->Title(), "Morning class");
  EXPECT_EQ(Stream->Author(), "");  // an empty value leaves the text as it was
  EXPECT_EQ(Stream->Description(), "Live");
  EXPECT_EQ(Stream->Channel(), "demo");
  EXPECT_EQ(Stream->HostAddress(), "127.0.0.1");
  EXPECT_EQ(Stream->Port(), Station.Port());
  EXPECT_EQ(Stream->SourceKind(), skLiveTcp);

  // The record before the key frame has nothing to be shown on: it is dropped.
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 2; }));
  EXPECT_EQ(Stream->State(), rsDelivering);
  EXPECT_EQ(Context.Index.Count(), 1u);
  EXPECT_EQ(Context.Index.FirstTime(), 1000);
  // Each record was shown to the host, at an address holding the whole record, before it was
  // stored; on a 64-bit build the address is a 64-bit integer.
  ASSERT_TRUE(Sink->WaitForCount(2));
  const auto events = Sink->Events();
  ASSERT_EQ(events.size(), 2u);
  const std::vector<uint8_t>* records[] = {&key, &after};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(events[i].Member, TKyvStream::kOnStreamSample);
    EXPECT_EQ(events[i].Type, sizeof(void*) == 8 ? VT_I8 : VT_I4);
    EXPECT_EQ(events[i].Record, *records[i]) << "record " << i;
  }
}

TEST_F(LiveStream, MessagesAreTakenWholeWhateverTheReceivesCut) {
  OpenAndLogIn();
  // Two messages in one send.
  std::vector<uint8_t> both = test::WireMessage(mtFrame, test::KeyFrameRecord(10, 8, 8));
  const std::vector<uint8_t> text = test::WireMessage(mtIndex, "chapter 1");
  both.insert(both.end(), text.begin(), text.end());
  Station.Send(both);
  // One message over many sends.
  const std::vector<uint8_t> split = test::WireMessage(mtFrame, test::PlainRecord(20, 300));
  for (size_t at = 0; at < split.size(); at += 13) {
    Station.Send(
        std::span<const uint8_t>(split.data() + at, std::min<size_t>(13, split.size() - at)));
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 2; }));
  ASSERT_TRUE(Sink->WaitForCount(3));
  const auto events = Sink->Events();
  EXPECT_EQ(events[1].Member, TKyvStream::kOnIndex);
  EXPECT_EQ(events[1].Text, "chapter 1");
  EXPECT_EQ(events[2].Record, test::PlainRecord(20, 300));
  EXPECT_EQ(Stream->BufferFill(), 0u);
}

TEST_F(LiveStream, AMessageLargerThanTheBufferGrowsItToExactlyItsSize) {
  OpenAndLogIn();
  EXPECT_EQ(Stream->ReceiveBufferSize(), TReadThread::kInitialBufferSize);
  const std::vector<uint8_t> big = test::KeyFrameRecord(5, 400, 500);
  Station.Send(test::WireMessage(mtFrame, big));
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 1; }));
  EXPECT_EQ(Stream->ReceiveBufferSize(), 8 + big.size());
  Context.Frames.Lock();
  EXPECT_EQ(Context.Frames.Items(0).Size(), big.size());
  Context.Frames.Unlock();
}

TEST_F(LiveStream, FramesBeforeTheFirstKeyFrameDoNotOpenAndATextDoesNotStallThem) {
  OpenAndLogIn();
  Station.Send(test::WireMessage(mtFrame, test::PlainRecord(1, 10)));
  Station.Send(test::WireMessage(mtFrame, test::PlainRecord(2, 10)));
  EXPECT_EQ(Stream->State(), rsWaitingKeyFrame);
  EXPECT_FALSE(WaitWindowMessage(Window, UM_OPENED, 50ms).has_value());
  EXPECT_TRUE(Context.Index.IsEmpty());

  // A request while waiting for the key frame is sent, and receiving goes on afterwards.
  Stream->PostText("REQUEST\r\nKey=1\r\n");
  std::optional<TWireMessage> request = Station.Read();
  while (request && request->Payload == "NOOP") request = Station.Read();
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(request->Type, mtString);
  EXPECT_EQ(request->Payload, "REQUEST\r\nKey=1\r\n");
  Station.Send(test::WireMessage(mtFrame, test::PlainRecord(3, 10)));
  Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(4, 16, 16)));
  Station.Send(test::WireMessage(mtFrame, test::PlainRecord(5, 10)));
  EXPECT_TRUE(WaitWindowMessage(Window, UM_OPENED).has_value());
  EXPECT_EQ(Stream->State(), rsDelivering);
  // Only the key frame and what follows it were kept.
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 2; }));
  EXPECT_EQ(Context.Frames.FirstTime(), 4u);
}

TEST_F(LiveStream, TextsBecomeEventsInTheirOrder) {
  OpenAndLogIn();
  Station.SendMessage(mtIndex, "第一章");
  Station.SendMessage(mtScript, "play()");
  Station.SendMessage(mtString, "");
  Station.SendMessage(200, "an unknown kind is skipped");
  Station.SendMessage(mtString, "plain");
  ASSERT_TRUE(Sink->WaitForCount(4));
  const auto events = Sink->Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].Member, TKyvStream::kOnIndex);
  EXPECT_EQ(events[0].Type, VT_BSTR);
  EXPECT_EQ(events[0].Text, "第一章");
  EXPECT_EQ(events[1].Member, TKyvStream::kOnScript);
  EXPECT_EQ(events[1].Text, "play()");
  EXPECT_EQ(events[2].Member, TKyvStream::kOnString);
  EXPECT_EQ(events[2].Text, "");
  EXPECT_EQ(events[3].Text, "plain");

  // Without a sink nothing is raised and nothing fails.
  Stream->SetEvents({});
  Station.SendMessage(mtString, "unheard");
  Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(1, 4, 4)));
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 1; }));
  EXPECT_EQ(Sink->Events().size(), 4u);
}

TEST_F(LiveStream, ARequestOf32KiBIsSentAndOneByteMoreIsRefused) {
  OpenAndLogIn();
  std::string exact = "REQUEST\r\n" + std::string(TKyvTCPClient::kMaxTextLength - 9, 'k');
  ASSERT_EQ(exact.size(), 32768u);
  Stream->PostText(exact);
  Stream->PostText(exact + "!");
  Stream->PostText("REQUEST\r\nafter");
  std::vector<std::string> received;
  while (received.size() < 2) {
    const std::optional<TWireMessage> message = Station.Read();
    ASSERT_TRUE(message.has_value());
    if (message->Payload != "NOOP") received.push_back(message->Payload);
  }
  EXPECT_EQ(received[0], exact);
  EXPECT_EQ(received[1], "REQUEST\r\nafter");
  EXPECT_EQ(ErrorCode(50ms), -1);  // the refusal does not end the connection
}

TEST_F(LiveStream, ASendThatStallsHalfWayEndsTheConnectionWithCode7) {
  TManualClock& clock = ManualClock(1000);
  OpenAndLogIn();
  // The station reads no more, so the texts fill the socket until one waits half sent; what
  // followed it would otherwise be read as its rest.
  const std::string text = "REQUEST\r\n" + std::string(TKyvTCPClient::kMaxTextLength - 9, 'w');
  for (int i = 0; i < 320; ++i) Stream->PostText(text);
  int code = -1;
  for (int i = 0; i < 60 && code == -1; ++i) {
    clock.Advance(TKyvTCPClient::kSendTimeoutMs);  // times out the send waiting now, if any
    code = ErrorCode(50ms);
  }
  EXPECT_EQ(code, reNetwork);
  EXPECT_EQ(Stream->State(), rsIdle);
  EXPECT_TRUE(Station.PeerClosed());
}

TEST_F(LiveStream, AKeyFrameThatArrivesWithTheLoginReplyIsTakenAtOnce) {
  Stream->Open(Station.Address());
  ASSERT_TRUE(Station.Accept());
  ASSERT_TRUE(Station.Read().has_value());  // the login
  // One send, so that the client receives both messages together and nothing after them.
  std::vector<uint8_t> bytes = test::WireMessage(mtString, "Permission=True\r\n");
  const std::vector<uint8_t> frame = test::WireMessage(mtFrame, test::KeyFrameRecord(1, 4, 4));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  Station.Send(bytes);
  EXPECT_TRUE(WaitWindowMessage(Window, UM_OPENED).has_value());
  EXPECT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 1; }));
}

TEST_F(LiveStream, AnAddressWithoutHostGivesCode8WithoutTraffic) {
  Stream->Open("kyvs://  /demo");
  EXPECT_EQ(ErrorCode(), reInvalidUrl);
  EXPECT_FALSE(Station.Accept(100ms));
  EXPECT_EQ(Stream->State(), rsIdle);
}

TEST_F(LiveStream, AnUnresolvableHostGivesCode12) {
  Stream->Open("kyvs://no-such-station.invalid/demo");
  EXPECT_EQ(ErrorCode(), reResolveFailed);
}

TEST_F(LiveStream, ARefusedConnectionGivesCode3) {
  const uint16_t port = test::FreeLoopbackPort();
  ASSERT_NE(port, 0);
  Stream->Open("kyvs://127.0.0.1:" + std::to_string(port) + "/demo");
  EXPECT_EQ(ErrorCode(), reCannotConnect);
}

TEST_F(LiveStream, OnlyTheExactValueFalseRefuses) {
  Stream->Open(Station.Address());
  ASSERT_TRUE(Station.Accept());
  ASSERT_TRUE(Station.Read().has_value());
  Station.SendMessage(mtString, "Title=x\r\nPermission=False\r\n");
  EXPECT_EQ(ErrorCode(), reServiceRefused);
  EXPECT_TRUE(Station.PeerClosed());

  for (const char* reply : {"Permission=false\r\n", "Title=no permission line\r\n"}) {
    Stream->Open(Station.Address());
    ASSERT_TRUE(Station.Login(reply)) << reply;
    Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(1, 4, 4)));
    EXPECT_TRUE(WaitWindowMessage(Window, UM_OPENED).has_value()) << reply;
    Stream->Close();
  }
  EXPECT_EQ(ErrorCode(50ms), -1);
}

TEST_F(LiveStream, AHeadAbove64MiBIsAProtocolError) {
  OpenAndLogIn();
  uint8_t head[8];
  TStationMessageHeader over{};
  over.MessageType = mtFrame;
  over.Length = (64u << 20) + 1;
  over.Write(head);
  Station.Send(head);
  EXPECT_EQ(ErrorCode(), reNetwork);
  EXPECT_TRUE(Station.PeerClosed());
  EXPECT_EQ(Stream->State(), rsIdle);
}

TEST_F(LiveStream, AFrameMessageShorterThanItsRecordIsAProtocolError) {
  OpenAndLogIn();
  std::vector<uint8_t> record = test::PlainRecord(1, 100);
  record.pop_back();  // DataSize says one byte more than the message holds
  Station.Send(test::WireMessage(mtFrame, record));
  EXPECT_EQ(ErrorCode(), reNetwork);
  EXPECT_EQ(Context.Frames.Count(), 0);

  Stream->Open(Station.Address());
  ASSERT_TRUE(Station.Login());
  Station.SendMessage(mtFrame, "too short");
  EXPECT_EQ(ErrorCode(), reNetwork);
}

TEST_F(LiveStream, AStationThatClosesGivesCode7) {
  OpenAndLogIn();
  Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(1, 4, 4)));
  ASSERT_TRUE(WaitWindowMessage(Window, UM_OPENED).has_value());
  Station.CloseConnection();
  EXPECT_EQ(ErrorCode(), reNetwork);
  EXPECT_EQ(Stream->State(), rsIdle);
}

TEST_F(LiveStream, CloseEndsTheReceiveLoopAndReportsNothing) {
  OpenAndLogIn();
  Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(1, 4, 4)));
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 1; }));
  Stream->Close();
  EXPECT_EQ(Context.Frames.Count(), 0);  // the stream's reset clears the frames buffer
  EXPECT_TRUE(Station.PeerClosed());
  EXPECT_EQ(ErrorCode(100ms), -1);
  EXPECT_EQ(Stream->State(), rsIdle);
}

TEST_F(LiveStream, CloseEndsAWaitForASilentStation) {
  Stream->Open(Station.Address());
  ASSERT_TRUE(Station.Accept());
  ASSERT_TRUE(Station.Read().has_value());  // the login, never answered
  Stream->Close();
  EXPECT_TRUE(Station.PeerClosed());
  EXPECT_EQ(ErrorCode(100ms), -1);
}

TEST_F(LiveStream, AStationThatNeverAnswersTheLoginTimesOut) {
  TManualClock& clock = ManualClock(5000);
  Stream->Open(Station.Address());
  ASSERT_TRUE(Station.Accept());
  ASSERT_TRUE(Station.Read().has_value());
  EXPECT_EQ(ErrorCode(100ms), -1);
  clock.Advance(TKyvTCPClient::kReplyTimeoutMs);
  EXPECT_EQ(ErrorCode(), reNetwork);
}

TEST_F(LiveStream, KeepAlivesGoOutEvery200MsWhileIdle) {
  TManualClock& clock = ManualClock(1000);
  OpenAndLogIn();
  EXPECT_FALSE(Station.Read(120ms).has_value());
  for (int i = 0; i < 3; ++i) {
    clock.Advance(TKyvTCPClient::kKeepAliveMs);
    const std::optional<TWireMessage> noop = Station.Read();
    ASSERT_TRUE(noop.has_value());
    EXPECT_EQ(noop->Type, mtString);
    EXPECT_EQ(noop->Payload, "NOOP");
  }
  clock.Advance(TKyvTCPClient::kKeepAliveMs - 1);
  EXPECT_FALSE(Station.Read(120ms).has_value());
}

TEST_F(LiveStream, AFullFramesBufferAsksThePlayThreadToTrim) {
  auto player = TThread::Create<test::TTrimCounter>(Context.Frames);
  Context.PlayerThread.store(player.get());
  OpenAndLogIn();
  // 18 MiB in frames, a key frame every fourth.
  for (uint32_t i = 0; i < 24; ++i)
    Station.Send(test::WireMessage(mtFrame, i % 4 == 0 ? test::KeyFrameRecord(i * 40, 4, 4)
                                                       : test::PlainRecord(i * 40, 1 << 20)));
  EXPECT_TRUE(WaitUntil([&] { return player->Trims() > 0; }));
  // No early return: the stream posts to the trim counter until it is closed.
  EXPECT_TRUE(WaitUntil([&] { return Context.Index.Count() == 6; }));
  Stream->Close();
  Context.PlayerThread.store(nullptr);
}

// A station flooding the player with large frames, with no play thread to trim: the store stays
// within its budget, and a flood before any key frame stores nothing at all.
TEST_F(LiveStream, AFloodStaysWithinTheStoreBudgetWithoutAPlayThread) {
  Stream->SetEvents({});
  OpenAndLogIn();
  constexpr size_t kFrame = 60'000;
  const int frames = static_cast<int>(2 * TLiveStore::kBudgetBytes / kFrame);
  uint32_t time = 0;
  for (int i = 0; i < 200; ++i)
    Station.Send(test::WireMessage(mtFrame, test::PlainRecord(++time, kFrame)));
  // Then key frames now and then, and a last one the test waits for.
  for (int i = 0; i < frames; ++i)
    Station.Send(test::WireMessage(mtFrame, i % 300 == 0 ? test::KeyFrameRecord(++time, 4, 4)
                                                         : test::PlainRecord(++time, kFrame)));
  const uint32_t last = ++time;
  Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(last, 4, 4)));
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.LastTime() == last; }, 20s));
  EXPECT_LE(Context.Frames.TotalBytes(), TLiveStore::kBudgetBytes);
  EXPECT_GT(Context.Frames.FirstTime(), 200u);  // nothing from before the first key frame
}

// Key frames whose picture cannot be made, whatever the value that makes them so, are passed
// over alike: the session goes on and opens with the first usable one.
TEST_F(LiveStream, KeyFramesOfImpossibleSizesAreAllPassedOverAlike) {
  OpenAndLogIn();
  const struct {
    int32_t Width, Height;
  } sizes[] = {{0, 4}, {4, 0}, {65535, 65535}, {4, INT32_MIN}, {-4, 4}, {INT32_MIN, 4}};
  uint32_t time = 0;
  for (const auto& size : sizes) {
    std::vector<uint8_t> record = test::KeyFrameRecord(++time, 4, 4);
    const size_t info = TFrameHeader::kSize + kBitmapInfoOffset;
    StoreLE<int32_t>(record.data() + info + offsetof(TBitmapInfoHeader, biWidth), size.Width);
    StoreLE<int32_t>(record.data() + info + offsetof(TBitmapInfoHeader, biHeight), size.Height);
    Station.Send(test::WireMessage(mtFrame, record));
  }
  Station.Send(test::WireMessage(mtFrame, test::KeyFrameRecord(++time, 16, 12)));
  ASSERT_TRUE(WaitWindowMessage(Window, UM_OPENED).has_value());
  EXPECT_EQ(Context.Header.Width, 16);
  EXPECT_EQ(Context.Header.Height, 12);
  EXPECT_EQ(ErrorCode(50ms), -1);
  ASSERT_TRUE(WaitUntil([&] { return Context.Frames.Count() == 1; }));
  EXPECT_EQ(Context.Frames.FirstTime(), time);
}

TEST_F(LiveStream, AStationSilentInTheMiddleOfAMessageEndsTheConnectionWithCode7) {
  TManualClock clock(1000);
  OpenAndLogIn();
  const std::vector<uint8_t> message = test::WireMessage(mtFrame, test::KeyFrameRecord(1, 4, 4));
  Station.Send(std::span<const uint8_t>(message.data(), 20));
  ASSERT_TRUE(WaitUntil([&] { return Stream->BufferFill() == 20; }));
  clock.Advance(TKyvTCPClient::kMessageTimeoutMs - 1);
  EXPECT_EQ(ErrorCode(100ms), -1);
  clock.Advance(1);
  EXPECT_EQ(ErrorCode(), reNetwork);
  EXPECT_THAT(Stream->LastFailure().Cause, ::testing::HasSubstr("incomplete"));
  EXPECT_TRUE(Station.PeerClosed());
  Stream.reset();  // the reader reads the clock until it ends
}

TEST_F(LiveStream, AChannelWithALineBreakIsAWrongAddress) {
  for (const char* channel : {"demo%0D%0AComputerName=evil", "demo%0Aevil", "de%0Dmo"}) {
    Stream->Open(Station.Address(channel));
    EXPECT_EQ(ErrorCode(), reInvalidUrl) << channel;
    EXPECT_THAT(Stream->LastFailure().Cause, ::testing::HasSubstr("line break"));
  }
  EXPECT_FALSE(Station.Accept(100ms));  // nothing was sent anywhere
}

}  // namespace
}  // namespace kyv
