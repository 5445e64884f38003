// The broadcasting station, run as its own process inside a private network namespace, sends a
// recording to a multicast group; the player's multicast stream in the same namespace shows it.
// Skipped with the reason where namespaces are not permitted.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MulticastTestSupport.h"
#include "NetNamespace.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "source/multicast/KyvMulticastStream.h"
#include "source/multicast/SmsFile.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using test::NextWindowMessage;
using test::WaitUntil;

TEST(StationToPlayer, MulticastRecordingReachesTheFrameStore) {
  test::TNetNamespace ns;
  if (!ns.Available()) GTEST_SKIP() << "multicast test skipped: " << ns.Reason();
  test::TTempFolder folder("kyv_station_player");
  TSampleOptions options;
  options.Width = 320;
  options.Height = 240;
  options.Seconds = 4;
  options.KeyFrameInterval = 500;
  options.NailInterval = 0;
  const auto recording = folder / "demo.kyv";
  WriteSampleRecording(recording, options);
  const auto sms = folder / "demo.sms";

  std::vector<std::string> command = ns.ExecPrefix();
  const std::vector<std::string> args = {KYVSTATION_PATH, recording.string(),
                                         "--multicast",   "239.88.0.1:47200",
                                         "--interface",   "127.0.0.1",
                                         "--sms",         sms.string(),
                                         "--speed",       "4"};
  command.insert(command.end(), args.begin(), args.end());
  test::TChildProcess station(command, folder / "station.txt");
  ASSERT_TRUE(station.Started());
  ASSERT_TRUE(WaitUntil([&] { return ReadSmsFile(sms).Valid() || !station.Running(); }))
      << test::ReadTextFile(folder / "station.txt");
  ASSERT_TRUE(station.Running()) << test::ReadTextFile(folder / "station.txt");

  TDecoderUsage decoder;
  TPlayContext context;
  TWindow window;
  context.Wnd = window.Handle();
  ASSERT_TRUE(ns.Run([&] {
    auto stream =
        TThread::Create<TKyvMulticastStream>(context, std::vector<std::string>{"127.0.0.1"});
    stream->Open(sms.string());
    const TMessage opened = NextWindowMessage(window);
    EXPECT_EQ(opened.Msg, UM_OPENED) << test::ReadTextFile(folder / "station.txt");
    EXPECT_EQ(opened.WParam, 0u);
    EXPECT_EQ(context.Header.Width, 320);
    EXPECT_EQ(context.Header.Height, 240);
    EXPECT_TRUE(WaitUntil([&] { return context.Frames.Count() >= 20; }));
    stream->Close();
    // Frames arrive in the order they were sent, with times that never go back.
    TFramesBuffer::TGuard guard(context.Frames);
    EXPECT_EQ(context.Frames.Items(0).FrameType(), ftKeyFrame);
    for (int32_t i = 1; i < context.Frames.Count(); ++i)
      EXPECT_GE(context.Frames.Items(i).Time(), context.Frames.Items(i - 1).Time());
    EXPECT_FALSE(context.Index.IsEmpty());
    EXPECT_EQ(stream->Client(0).MessagesAbandoned(), 0u);
  }));
}

}  // namespace
}  // namespace kyv
