// The live TCP client against the broadcasting station run as a separate process on loopback.
#include <thread>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "LiveTestSupport.h"
#include "TempFolder.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "com/ComPtr.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "source/live/KyvStream.h"
#include "support/FrameTimes.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using test::kGuard;
using test::TEventSink;
using test::WaitUntil;
using test::WaitWindowMessage;

// A small sample recording (160 x 120, 4 s, a key frame every second), made once.
const std::filesystem::path& SampleFile() {
  static test::TTempFolder folder("kyv_station_process");
  static const std::filesystem::path path = [] {
    TSampleOptions options;
    options.Width = 160;
    options.Height = 120;
    options.Seconds = 4;
    options.KeyFrameInterval = 1000;
    options.NailInterval = 0;
    WriteSampleRecording(folder / "sample.kyv", options);
    return folder / "sample.kyv";
  }();
  return path;
}

// A kyvstation process on 127.0.0.1 serving the sample with the extra arguments.
class TStationProcess {
 public:
  // The station binds port 0 and reports the port it got, so nothing can take it meanwhile.
  explicit TStationProcess(std::vector<std::string> Extra) {
    std::vector<std::string> args = {
        KYVSTATION_PATH, SampleFile().string(), "--bind", "127.0.0.1", "--port", "0"};
    args.insert(args.end(), Extra.begin(), Extra.end());
    FProcess = std::make_unique<test::TChildProcess>(args, FOutput);
    if (FProcess->Started())
      FPort = test::WaitForReportedPort(*FProcess, FOutput, test::kStationServingPattern, kGuard);
    FReady = FPort != 0;
  }

  bool Ready() const { return FReady; }
  std::string Address() const { return "kyvs://127.0.0.1:" + std::to_string(FPort) + "/demo"; }
  std::string Output() const { return test::ReadTextFile(FOutput); }
  void Stop() { FProcess->Stop(); }

 private:
  test::TTempFolder FFolder{"kyv_station_out"};
  std::filesystem::path FOutput = FFolder / "output.txt";
  uint16_t FPort = 0;
  std::unique_ptr<test::TChildProcess> FProcess;
  bool FReady = false;
};

// A player: a window, a play context and the live stream with an event sink.
struct TPlayer {
  TPlayer() {
    Context.Wnd = Window.Handle();
    Stream = TThread::Create<TKyvStream>(Context, TComPtr<IDispatch>(Sink));
  }

  int ErrorCode(std::chrono::milliseconds Timeout = kGuard) {
    const std::optional<TMessage> message = WaitWindowMessage(Window, UM_SOURCE_ERROR, Timeout);
    return message ? static_cast<int>(message->WParam) : -1;
  }

  // The times of the frames held, in order.
  std::vector<uint32_t> Times() { return test::FrameTimes(Context.Frames); }

  TWindow Window;
  TPlayContext Context;
  TComPtr<TEventSink> Sink = com::MakeCom<TEventSink>();
  TThreadPtr<TKyvStream> Stream;
};

TEST(StationProcess, PlayersGetThePictureSizeLoopingFramesAndTheTexts) {
  TStationProcess station({"--speed", "20", "--title", "Sample", "--index-text", "contents",
                           "--script-text", "go()", "--string-text", "hello"});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TPlayer first, second;
  first.Stream->Open(station.Address());
  second.Stream->Open(station.Address());
  for (TPlayer* player : {&first, &second}) {
    ASSERT_TRUE(WaitWindowMessage(player->Window, UM_OPENED).has_value()) << station.Output();
    EXPECT_EQ(player->Context.Header.Width, 160);
    EXPECT_EQ(player->Context.Header.Height, 120);
    EXPECT_EQ(player->Stream->Title(), "Sample");
  }
  // At 20 times the speed the 4-second sample loops every 200 ms or so: after a few loops the
  // times must still go up, and the first frame a player got was a key frame.
  ASSERT_TRUE(WaitUntil([&] { return first.Context.Index.Count() >= 12; })) << station.Output();
  const std::vector<uint32_t> times = first.Times();
  ASSERT_FALSE(times.empty());
  for (size_t i = 1; i < times.size(); ++i) ASSERT_LE(times[i - 1], times[i]) << "frame " << i;
  EXPECT_GT(times.back(), 4000u * 2);
  {
    TFramesBuffer::TGuard lock(first.Context.Frames);
    EXPECT_TRUE(first.Context.Frames.Items(0).IsKeyFrame());
  }
  const auto events = first.Sink->Events();
  std::vector<std::pair<DISPID, std::string>> texts;
  for (const auto& event : events)
    if (event.Type == VT_BSTR) texts.emplace_back(event.Member, event.Text);
  EXPECT_EQ(texts, (std::vector<std::pair<DISPID, std::string>>{{TKyvStream::kOnIndex, "contents"},
                                                                {TKyvStream::kOnScript, "go()"},
                                                                {TKyvStream::kOnString, "hello"}}));
}

TEST(StationProcess, ADenyingStationGivesCode4) {
  TStationProcess station({"--deny"});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TPlayer player;
  player.Stream->Open(station.Address());
  EXPECT_EQ(player.ErrorCode(), reServiceRefused);
  EXPECT_FALSE(WaitWindowMessage(player.Window, UM_OPENED, 50ms).has_value());
}

TEST(StationProcess, AStationEndedMidStreamGivesCode7) {
  TStationProcess station({});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TPlayer player;
  player.Stream->Open(station.Address());
  ASSERT_TRUE(WaitWindowMessage(player.Window, UM_OPENED).has_value()) << station.Output();
  station.Stop();
  EXPECT_EQ(player.ErrorCode(), reNetwork);
}

TEST(StationProcess, RequestTextsReachTheStationByteForByte) {
  TStationProcess station({});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TPlayer player;
  player.Stream->Open(station.Address());
  ASSERT_TRUE(WaitWindowMessage(player.Window, UM_OPENED).has_value()) << station.Output();
  const std::string move = "REQUEST\r\nMouseMove=10,20\r\n";
  const std::string keys = "REQUEST\r\nKeyDown=65\r\nText=\xE4\xBD\xA0\xE5\xA5\xBD\tend";
  player.Stream->PostText(move);
  player.Stream->PostText("not a request");
  player.Stream->PostText(keys);
  // Each text as it was sent, then an empty line (after a line end of its own if it has none).
  ASSERT_TRUE(WaitUntil([&] { return station.Output().find(keys + "\n\n") != std::string::npos; }))
      << station.Output();
  EXPECT_NE(station.Output().find(move + "\n"), std::string::npos);
  EXPECT_NE(station.Output().find("not a request"), std::string::npos);  // noted, not printed
  EXPECT_EQ(station.Output().find("NOOP"), std::string::npos);
}

}  // namespace
}  // namespace kyv
