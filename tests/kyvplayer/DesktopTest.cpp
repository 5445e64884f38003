// The player as a person uses it, on a display of its own (Xvfb) and a session bus of its own
// (the test runs under dbus-run-session): the picture it shows against kyvtool's, keys typed
// with xdotool, and the desktop's media interface read with playerctl.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/ChildProcess.h"
#include "support/PngRead.h"
#include "support/TempFolder.h"
#include "support/XvfbDisplay.h"

namespace kyv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct TCommandResult {
  int Status = -1;
  std::string Output;
};

// Runs a shell command and returns its exit status and standard output.
TCommandResult RunCommand(const std::string& Command) {
  TCommandResult result;
  FILE* pipe = popen((Command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, got);
  const int status = pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  while (!result.Output.empty() && (result.Output.back() == '\n' || result.Output.back() == ' '))
    result.Output.pop_back();
  return result;
}

// Asks Check every 50 ms until it holds or Limit passes: the player runs in another process,
// and this is how long a person would wait for it.
bool Eventually(const std::function<bool()>& Check, std::chrono::milliseconds Limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + Limit;
  while (!Check()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FXvfb = std::make_unique<TXvfbDisplay>(1280, 1024);
    if (!FXvfb->Started()) GTEST_SKIP() << FXvfb->Reason();
    setenv("DISPLAY", FXvfb->Name().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    setenv("KYV_REGISTRY", (FFolder / "registry").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (FFolder / "config").c_str(), 1);
    setenv("KYV_CACHE_DIR", (FFolder / "cache").c_str(), 1);
    setenv("KYV_LOG_DIR", (FFolder / "log").c_str(), 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    FSample = FFolder / "sample.kyv";
    ASSERT_EQ(RunCommand(std::string(KYVTOOL_PATH) + " make-sample " + FSample.string() +
                         " --width 320 --height 240 --seconds 20")
                  .Status,
              0);
  }

  bool HasSessionBus() const { return std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr; }

  // Starts the player on the sample with further arguments.
  std::unique_ptr<TChildProcess> StartPlayer(std::vector<std::string> Args) {
    Args.insert(Args.begin(), {KYVPLAYER_PATH, FSample.string()});
    return std::make_unique<TChildProcess>(Args, FFolder / "player.txt");
  }

  std::string Playerctl(const std::string& What) {
    return RunCommand("playerctl -p kyvplayer " + What).Output;
  }

  double PositionSeconds() { return std::atof(Playerctl("position").c_str()); }

  // Gives the player's window the keyboard and types Key into it.
  void TypeKey(const std::string& Key) {
    const std::string window =
        RunCommand("timeout 10 xdotool search --sync --onlyvisible --name KyvPlayer").Output;
    ASSERT_FALSE(window.empty());
    const std::string first = window.substr(0, window.find('\n'));
    RunCommand("xdotool windowfocus --sync " + first);
    ASSERT_EQ(RunCommand("xdotool key --clearmodifiers " + Key).Status, 0);
  }

  TTempFolder FFolder{"kyvplayer_desktop"};
  std::unique_ptr<TXvfbDisplay> FXvfb;
  fs::path FSample;
};

// Where Needle's pixels lie inside Haystack, exactly; false when nowhere.
bool FindPicture(int HW, int HH, const std::vector<uint8_t>& Haystack, int NW, int NH,
                 const std::vector<uint8_t>& Needle, int& X, int& Y) {
  const size_t row = static_cast<size_t>(NW) * 3;
  for (int y = 0; y + NH <= HH; ++y)
    for (int x = 0; x + NW <= HW; ++x) {
      bool same = true;
      for (int r = 0; r < NH && same; ++r)
        same = std::equal(Needle.begin() + static_cast<ptrdiff_t>(r * row),
                          Needle.begin() + static_cast<ptrdiff_t>((r + 1) * row),
                          Haystack.begin() + (static_cast<ptrdiff_t>(y + r) * HW + x) * 3);
      if (same) {
        X = x;
        Y = y;
        return true;
      }
    }
  return false;
}

TEST_F(DesktopTest, ScreenshotShowsThePictureKyvtoolRenders) {
  const fs::path expected = FFolder / "render.png", shot = FFolder / "shot.png";
  ASSERT_EQ(RunCommand(std::string(KYVTOOL_PATH) + " render " + FSample.string() +
                       " --at 5000 -o " + expected.string())
                .Status,
            0);
  auto player = StartPlayer(
      {"--at", "5000", "--paused", "--mode", "original", "--screenshot", shot.string()});
  ASSERT_EQ(player->SignalAndWait(0, 30s), 0) << ReadTextFile(FFolder / "player.txt");

  int ew = 0, eh = 0, sw = 0, sh = 0;
  std::vector<uint8_t> want, got;
  ASSERT_TRUE(ReadPng(expected.string(), ew, eh, want));
  ASSERT_TRUE(ReadPng(shot.string(), sw, sh, got));
  ASSERT_EQ(ew, 320);
  int x = -1, y = -1;
  EXPECT_TRUE(FindPicture(sw, sh, got, ew, eh, want, x, y))
      << "the 320 x 240 picture at 5000 ms is not in the " << sw << " x " << sh << " window";
}

TEST_F(DesktopTest, MediaInterfaceSpaceAndRight) {
  if (!HasSessionBus()) GTEST_SKIP() << "no session bus (run under dbus-run-session)";
  auto player = StartPlayer({"--at", "5000", "--paused"});
  ASSERT_TRUE(Eventually([&] { return Playerctl("status") == "Paused"; }))
      << ReadTextFile(FFolder / "player.txt");
  // A known position, and what the desktop shows of the recording.
  EXPECT_TRUE(Eventually([&] { return PositionSeconds() == 5.0; })) << Playerctl("position");
  EXPECT_EQ(Playerctl("metadata mpris:length"), "20000000");
  EXPECT_EQ(Playerctl("metadata xesam:title"), "sample.kyv");
  EXPECT_EQ(Playerctl("metadata xesam:url"), "file://" + FSample.string());

  TypeKey("Right");
  EXPECT_TRUE(Eventually([&] { return PositionSeconds() == 10.0; })) << Playerctl("position");
  TypeKey("space");
  EXPECT_TRUE(Eventually([&] { return Playerctl("status") == "Playing"; }));
  // The position follows the playing.
  EXPECT_TRUE(Eventually([&] { return PositionSeconds() > 10.5; })) << Playerctl("position");
  EXPECT_LE(PositionSeconds(), 20.0);

  RunCommand("playerctl -p kyvplayer pause");
  EXPECT_TRUE(Eventually([&] { return Playerctl("status") == "Paused"; }));
  RunCommand("playerctl -p kyvplayer position 2");
  EXPECT_TRUE(Eventually([&] { return PositionSeconds() == 2.0; })) << Playerctl("position");
  RunCommand("playerctl -p kyvplayer stop");
  EXPECT_TRUE(Eventually([&] { return Playerctl("status") == "Stopped"; }));

  // Another recording through the interface: a new track with its own length.
  const fs::path other = FFolder / "other.kyv";
  ASSERT_EQ(RunCommand(std::string(KYVTOOL_PATH) + " make-sample " + other.string() +
                       " --width 160 --height 120 --seconds 3")
                .Status,
            0);
  const std::string track = Playerctl("metadata mpris:trackid");
  RunCommand("playerctl -p kyvplayer open file://" + other.string());
  EXPECT_TRUE(Eventually([&] { return Playerctl("metadata xesam:title") == "other.kyv"; }));
  EXPECT_TRUE(Eventually([&] { return Playerctl("metadata mpris:length") == "3000000"; }));
  EXPECT_NE(Playerctl("metadata mpris:trackid"), track);
  EXPECT_TRUE(Eventually([&] { return Playerctl("status") == "Playing"; }));
}

}  // namespace
}  // namespace kyv::test
