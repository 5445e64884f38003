// The kyvstation program as a user meets it: its command line, its exit statuses, its signals,
// and what a player sees on the wire.
#include <signal.h>
#include <sys/socket.h>

#include <thread>

#include <gtest/gtest.h>

#include "StationChild.h"
#include "decoder/FileFormat.h"
#include "source/live/StationMessageHeader.h"

namespace kyv {
namespace {

using namespace test;

TEST(KyvStationCommand, HelpAndWrongCommandLines) {
  test::TTempFolder folder("kyv_station_cli");
  TRun run = RunToEnd(folder, "--help");
  EXPECT_EQ(run.Status, 0);
  EXPECT_NE(run.Output.find("Usage: kyvstation"), std::string::npos);
  EXPECT_NE(run.Output.find("--deny"), std::string::npos);

  run = RunToEnd(folder, "");
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Output.find("no recording given"), std::string::npos) << run.Output;

  run = RunToEnd(folder, "r.kyv --port seven");
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Output.find("--port needs a number"), std::string::npos) << run.Output;

  run = RunToEnd(folder, "r.kyv --frobnicate");
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Output.find("unknown option --frobnicate"), std::string::npos) << run.Output;
}

TEST(KyvStationCommand, StartingFailuresSayWhatIsWrong) {
  test::TTempFolder folder("kyv_station_cli");
  TRun run = RunToEnd(folder, "'" + (folder / "missing.kyv").string() + "' --port 0");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Output.find("kyvstation: error:"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("missing.kyv"), std::string::npos) << run.Output;

  // A port that another program holds.
  const std::filesystem::path recording = Recording(folder);
  TStationChild holder(folder, {recording.string()});
  ASSERT_TRUE(holder.Ready()) << holder.Output();
  run = RunToEnd(folder, "'" + recording.string() + "' --bind 127.0.0.1 --port " +
                             std::to_string(holder.Port()));
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Output.find("cannot listen on 127.0.0.1:" + std::to_string(holder.Port())),
            std::string::npos)
      << run.Output;
}

TEST(KyvStationCommand, SigtermAndSigintEndTheStationCleanly) {
  test::TTempFolder folder("kyv_station_cli");
  const std::filesystem::path recording = Recording(folder);
  for (const int signal : {SIGTERM, SIGINT}) {
    TStationChild station(folder, {recording.string()});
    ASSERT_TRUE(station.Ready()) << station.Output();
    TRawPlayer player(station.Port());
    player.LogIn();
    ASSERT_TRUE(player.Read().has_value());
    player.Send(mtString, "Start");
    ASSERT_TRUE(player.Read().has_value());  // streaming
    EXPECT_EQ(station.SignalAndWait(signal), 0) << station.Output();
    EXPECT_TRUE(player.Closed());
    EXPECT_NE(station.Output().find("kyvstation: stopped"), std::string::npos) << station.Output();
  }
}

TEST(KyvStationCommand, APlayerThatSendsWithoutPauseDoesNotHoldUpTheStop) {
  test::TTempFolder folder("kyv_station_cli");
  const std::filesystem::path recording = Recording(folder);
  // Before "Start" the session waits for texts one by one, after it it receives in bulk.
  for (const bool started : {false, true}) {
    TStationChild station(folder, {recording.string()});
    ASSERT_TRUE(station.Ready()) << station.Output();
    TRawPlayer player(station.Port());
    player.LogIn();
    ASSERT_TRUE(player.Read().has_value());
    if (started) player.Send(mtString, "Start");
    std::string noops;
    for (int i = 0; i < 4096; ++i) {
      uint8_t head[8];
      TStationMessageHeader header{};
      header.MessageType = mtString;
      header.Length = 4;
      header.Write(head);
      noops.append(reinterpret_cast<const char*>(head), sizeof head).append("NOOP");
    }
    std::thread flood([&] {
      while (::send(player.Socket(), noops.data(), noops.size(), MSG_NOSIGNAL) > 0) {
      }
    });
    std::this_thread::sleep_for(200ms);
    const int status = station.SignalAndWait(SIGTERM);
    // Also ends a flood that the station did not stop.
    ::shutdown(player.Socket(), SHUT_RDWR);
    flood.join();
    EXPECT_EQ(status, 0) << "started " << started << "\n" << station.Output();
  }
}

TEST(KyvStationCommand, APlayerGetsTheReplyTheTextsThenFramesFromAKeyFrame) {
  test::TTempFolder folder("kyv_station_cli");
  TStationChild station(folder, {Recording(folder).string(), "--no-pace", "--title", "Now",
                                 "--copyright", "(c) us", "--string-text", "welcome"});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TRawPlayer player(station.Port());
  player.LogIn();
  const auto reply = player.Read();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->second, "Permission=True\r\nTitle=Now\r\nCopyright=(c) us\r\n");
  player.Send(mtString, "NOOP");  // taken silently before "Start" too
  player.Send(mtString, "Start");
  const auto text = player.Read();
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->first, mtString);
  EXPECT_EQ(text->second, "welcome");
  // Unpaced, the loops follow each other at once, with times that keep going up.
  uint32_t last = 0;
  for (int i = 0; i < 40; ++i) {
    const auto frame = player.Read();
    ASSERT_TRUE(frame.has_value()) << "frame " << i;
    ASSERT_EQ(frame->first, mtFrame);
    ASSERT_GE(frame->second.size(), TFrameHeader::kSize);
    const TFrameHeader header =
        TFrameHeader::Read(reinterpret_cast<const uint8_t*>(frame->second.data()));
    EXPECT_EQ(frame->second.size(), header.RecordSize());
    if (i == 0) {
      EXPECT_EQ(header.FrameType, ftKeyFrame);
    } else {
      EXPECT_GT(header.Time, last);
    }
    last = header.Time;
  }
  EXPECT_GT(last, 2 * 1200u);
  EXPECT_EQ(station.Output().find("does not know"), std::string::npos) << station.Output();
}

TEST(KyvStationCommand, DenyRefusesEveryPlayer) {
  test::TTempFolder folder("kyv_station_cli");
  TStationChild station(folder, {Recording(folder).string(), "--deny", "--title", "ignored"});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TRawPlayer player(station.Port());
  player.LogIn();
  const auto reply = player.Read();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->second, "Permission=False\r\n");
  player.Send(mtString, "Start");  // a player that does not listen gets nothing more
  EXPECT_TRUE(player.Closed());
  EXPECT_NE(station.Output().find("refused"), std::string::npos) << station.Output();
}

TEST(KyvStationCommand, StrangersAndPlayersBeyondTheLimitAreTurnedAway) {
  test::TTempFolder folder("kyv_station_cli");
  TStationChild station(folder, {Recording(folder).string(), "--max-players", "1"});
  ASSERT_TRUE(station.Ready()) << station.Output();
  TRawPlayer first(station.Port());
  ASSERT_TRUE(first.Connected());
  TRawPlayer second(station.Port());
  EXPECT_TRUE(second.Closed());  // one player at a time
  first.Send(mtString, "GET / HTTP/1.0");
  EXPECT_TRUE(first.Closed());
  EXPECT_NE(station.Output().find("players are served already"), std::string::npos)
      << station.Output();
  EXPECT_NE(station.Output().find("instead of a login"), std::string::npos) << station.Output();
}

}  // namespace
}  // namespace kyv
