// The station's parts on their own: command line, recording, schedule, console.
#include <filesystem>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "decoder/ReaderErrors.h"

#include "BroadcastSchedule.h"
#include "Station.h"
#include "StationConsole.h"
#include "StationOptions.h"
#include "StationRecording.h"
#include "TempFolder.h"
#include "decoder/FileFormat.h"
#include "platform/Errors.h"
#include "writer/RecordingWriter.h"

namespace kyv::station {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> Records(std::initializer_list<std::pair<uint32_t, bool>> Frames) {
  std::vector<uint8_t> bytes;
  for (const auto& [time, key] : Frames) {
    TFrameHeader header{};
    header.Time = time;
    header.FrameType = key ? ftKeyFrame : ftCopyRect;
    header.DataSize = 3;
    const size_t at = bytes.size();
    bytes.resize(at + TFrameHeader::kSize + 3, 0xAB);
    header.Write(bytes.data() + at);
  }
  return bytes;
}

TEST(StationCommandLine, ReadsEveryOption) {
  const TCommandLine command = ParseCommandLine({"--port",   "2000",
                                                 "--bind",   "127.0.0.1",
                                                 "--title",  "T",
                                                 "--author", "",
                                                 "--deny",   "--index-text",
                                                 "i",        "--string-text",
                                                 "s",        "--script-text",
                                                 "c",        "--speed",
                                                 "2.5",      "--max-players",
                                                 "3",        "rec.kyv"});
  ASSERT_EQ(command.Action, TCommandLine::caRun) << command.Error;
  const TStationOptions& o = command.Options;
  EXPECT_EQ(o.Recording, "rec.kyv");
  EXPECT_EQ(o.Port, 2000);
  EXPECT_EQ(o.Bind, "127.0.0.1");
  EXPECT_EQ(o.Title, "T");
  EXPECT_EQ(o.Author, "");  // given empty, unlike the copyright, which is not given
  EXPECT_FALSE(o.Copyright.has_value());
  EXPECT_TRUE(o.Deny);
  ASSERT_EQ(o.Texts.size(), 3u);
  EXPECT_EQ(o.Texts[0].Type, mtIndex);
  EXPECT_EQ(o.Texts[1].Type, mtString);
  EXPECT_EQ(o.Texts[2].Type, mtScript);
  EXPECT_DOUBLE_EQ(o.Speed, 2.5);
  EXPECT_EQ(o.MaxPlayers, 3);
  EXPECT_TRUE(o.Paced);
  EXPECT_EQ(ParseCommandLine({"r.kyv"}).Options.Port, 1804);
  EXPECT_FALSE(ParseCommandLine({"r.kyv", "--no-pace"}).Options.Paced);
  EXPECT_EQ(ParseCommandLine({"r.kyv", "--help"}).Action, TCommandLine::caHelp);
}

TEST(StationCommandLine, RefusesWhatItCannotUse) {
  const std::vector<std::vector<std::string>> bad = {{},
                                                     {"a.kyv", "b.kyv"},
                                                     {"a.kyv", "--port"},
                                                     {"a.kyv", "--port", "65536"},
                                                     {"a.kyv", "--port", "12x"},
                                                     {"a.kyv", "--bind", "localhost"},
                                                     {"a.kyv", "--speed", "0"},
                                                     {"a.kyv", "--speed", "nan"},
                                                     {"a.kyv", "--max-players", "0"},
                                                     {"a.kyv", "--colour", "red"}};
  for (const auto& args : bad) {
    const TCommandLine command = ParseCommandLine(args);
    EXPECT_EQ(command.Action, TCommandLine::caError) << ::testing::PrintToString(args);
    EXPECT_FALSE(command.Error.empty());
  }
  if (MulticastAvailable()) {
    EXPECT_EQ(ParseCommandLine({"a.kyv", "--multicast", "10.0.0.1:5000"}).Action,
              TCommandLine::caError);
    EXPECT_EQ(ParseCommandLine({"a.kyv", "--multicast", "239.1.2.3"}).Action,
              TCommandLine::caError);
    EXPECT_EQ(ParseCommandLine({"a.kyv", "--sms", "x.sms"}).Action, TCommandLine::caError);
    EXPECT_EQ(ParseCommandLine({"a.kyv", "--multicast", "239.1.2.3:5000", "--no-pace"}).Action,
              TCommandLine::caError);
    const TCommandLine good = ParseCommandLine(
        {"a.kyv", "--multicast", "239.1.2.3:5000", "--interface", "127.0.0.1", "--sms", "g.sms"});
    ASSERT_EQ(good.Action, TCommandLine::caRun) << good.Error;
    EXPECT_EQ(good.Options.Multicast->Group, "239.1.2.3");
    EXPECT_EQ(good.Options.Multicast->Port, 5000);
    EXPECT_EQ(good.Options.Multicast->Interface, "127.0.0.1");
    EXPECT_EQ(good.Options.Multicast->SmsFile, "g.sms");
  }
}

TEST(StationRecording, KnowsItsFramesKeyFramesAndLoop) {
  const TStationRecording recording(
      Records({{100, false}, {200, true}, {300, false}, {400, true}, {500, false}}));
  EXPECT_EQ(recording.Count(), 5u);
  EXPECT_EQ(recording.FirstTime(), 100u);
  EXPECT_EQ(recording.LoopPeriod(), 400u + 100u);  // the span and one mean interval
  EXPECT_EQ(recording.FirstKeyFrame(), 1u);
  EXPECT_EQ(recording.LastKeyFrame(), 3u);
  EXPECT_EQ(recording.KeyFrameAtOrBefore(199), recording.Count());
  EXPECT_EQ(recording.KeyFrameAtOrBefore(399), 1u);
  EXPECT_EQ(recording.KeyFrameAtOrBefore(10'000), 3u);
  EXPECT_EQ(recording.Record(2).size(), TFrameHeader::kSize + 3);
  EXPECT_EQ(TStationRecording(Records({{7, true}})).LoopPeriod(), 1000u);
}

TEST(StationRecording, RefusesWhatCannotBeServed) {
  EXPECT_THROW(TStationRecording(std::vector<uint8_t>{}), EKyvError);
  EXPECT_THROW(TStationRecording(Records({{1, false}, {2, false}})), EKyvError);
  // A span whose loop period would not fit in 32 bits (and once wrapped to 0).
  EXPECT_THROW(TStationRecording(Records({{0, true}, {UINT32_MAX, false}})), EKyvError);
  EXPECT_THROW(TStationRecording(Records({{0, true}, {TStationRecording::kMaxSpanMs + 1, false}})),
               EKyvError);
  EXPECT_EQ(
      TStationRecording(Records({{0, true}, {TStationRecording::kMaxSpanMs, false}})).LoopPeriod(),
      UINT32_MAX);
  std::vector<uint8_t> cut = Records({{1, true}});
  cut.pop_back();
  EXPECT_THROW(TStationRecording(std::move(cut)), EKyvError);

  test::TTempFolder folder("kyv_station_recording");
  EXPECT_THROW(TStationRecording(folder / "missing.kyv"), EKyvError);
  {
    TRecordingWriter writer(folder / "nokey.kyv", 8, 8);
    writer.AddFrame(0, ftCopyRect, ckNone, 0, 0, std::vector<uint8_t>(4, 1));
    writer.Finish();
  }
  // The container checks refuse it first (it has no index); the text names the file.
  try {
    TStationRecording recording(folder / "nokey.kyv");
    FAIL() << "a recording without key frame was taken";
  } catch (const EKyvError& e) {
    // As the player says it: the code, its text and what it means.
    EXPECT_EQ(e.Message().rfind("cannot open " + (folder / "nokey.kyv").string() + ": error 13, " +
                                    ReaderErrorText(reIndexInvalid),
                                0),
              0u)
        << e.Message();
    EXPECT_EQ(e.Code(), reIndexInvalid);
  }
}

TEST(Station, AnAddressInUseIsRefusedWithoutLeakingTheSocket) {
  test::TTempFolder folder("kyv_station_listen");
  TStationOptions options;
  options.Recording = folder / "r.kyv";
  {
    TRecordingWriter writer(options.Recording, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckNone, 0, 0, std::vector<uint8_t>(8 * 8 * 3, 1));
    writer.Finish();
  }
  options.Bind = "127.0.0.1";
  options.Port = 0;
  std::ostringstream out, err;
  TStationConsole console(out, err);
  const TStation holder(options, console);
  options.Port = holder.Port();
  const auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto before = openDescriptors();
  for (int i = 0; i < 3; ++i) {
    try {
      TStation second(options, console);
      FAIL() << "a second station listens on port " << options.Port;
    } catch (const EKyvError& e) {
      EXPECT_NE(e.Message().find("cannot listen on 127.0.0.1:"), std::string::npos) << e.Message();
    }
  }
  EXPECT_EQ(openDescriptors(), before);
}

TEST(BroadcastSchedule, PlayersStartAtTheKeyFrameOnAirAndTimesKeepGrowing) {
  const TStationRecording recording(
      Records({{100, false}, {200, true}, {300, false}, {400, true}, {500, false}}));
  const auto origin = TBroadcastSchedule::TClock::time_point{} + 1h;
  const TBroadcastSchedule paced(recording, 1.0, true, origin);
  // Before the first key frame of loop 0 is on air a player waits for it.
  EXPECT_EQ(paced.StartAt(origin), (TBroadcastPosition{0, 1}));
  EXPECT_EQ(paced.StartAt(origin + 50ms), (TBroadcastPosition{0, 1}));
  EXPECT_EQ(paced.StartAt(origin + 150ms), (TBroadcastPosition{0, 1}));
  EXPECT_EQ(paced.StartAt(origin + 320ms), (TBroadcastPosition{0, 3}));
  // Early in a later loop the previous loop's last key frame is the one on air.
  EXPECT_EQ(paced.StartAt(origin + 1020ms), (TBroadcastPosition{1, 3}));
  EXPECT_EQ(paced.StartAt(origin + 1110ms), (TBroadcastPosition{2, 1}));

  TBroadcastPosition at{0, 3};
  uint32_t previous = paced.WireTime(at);
  for (int i = 0; i < 12; ++i) {
    at = paced.Next(at);
    EXPECT_GT(paced.WireTime(at), previous);
    EXPECT_GE(paced.DueTime(at), origin);
    previous = paced.WireTime(at);
  }
  EXPECT_EQ(paced.WireTime({2, 0}), 100u + 2 * 500u);
  EXPECT_EQ(paced.DueTime({1, 1}), origin + 600ms);

  const TBroadcastSchedule fast(recording, 4.0, true, origin);
  EXPECT_EQ(fast.DueTime({1, 1}), origin + 150ms);
  EXPECT_EQ(fast.StartAt(origin + 80ms), (TBroadcastPosition{0, 3}));
  const TBroadcastSchedule unpaced(recording, 1.0, false, origin);
  EXPECT_EQ(unpaced.StartAt(origin + 24h), (TBroadcastPosition{0, 1}));
  EXPECT_EQ(unpaced.DueTime({5, 4}), origin);
}

TEST(StationConsole, RequestsAreBlocksAndNotesAreLines) {
  std::ostringstream out, err;
  TStationConsole console(out, err);
  console.Request("REQUEST\r\nA=1\r\n");
  console.Request("REQUEST\r\nB=2");
  console.Note("hello");
  EXPECT_EQ(out.str(), "REQUEST\r\nA=1\r\n\nREQUEST\r\nB=2\n\n");
  EXPECT_EQ(err.str(), "kyvstation: hello\n");
}

}  // namespace
}  // namespace kyv::station
