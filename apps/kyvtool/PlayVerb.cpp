#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>

#include "HeadlessPlayer.h"
#include "Verbs.h"
#include "ViewRender.h"
#include "picture/PngWriter.h"
#include "platform/Clock.h"
#include "platform/FormatSeconds.h"

namespace kyv::tool {

namespace {

using Clock = std::chrono::steady_clock;

struct TPlayOptions {
  std::string Address;
  int Speed = 1;
  std::optional<int> SnapshotEvery;  // ms of recording time
  std::optional<int> For;            // ms of wall time after which playing stops
  std::filesystem::path OutDir;
};

const char* StateName(TPlayState state) {
  switch (state) {
    case psStopped:
      return "stopped";
    case psPaused:
      return "paused";
    case psPlaying:
      return "playing";
  }
  return "?";
}

std::string SnapshotName(uint32_t time) {
  char name[32];
  std::snprintf(name, sizeof name, "snapshot-%09u.png", time);
  return name;
}

// Copies the picture under its lock, so the play thread waits only for the copy.
TDib CopyPicture(TBackBuffer& picture) {
  std::lock_guard lock(picture);
  return picture.Picture();
}

struct TViewSize {
  int Width = 0;
  int Height = 0;
};

// "WxH" with both positive.
std::optional<TViewSize> ParseViewSize(const std::string& value) {
  const size_t x = value.find('x');
  if (x == std::string::npos) return std::nullopt;
  const std::optional<int> w = ParseInt(value.substr(0, x)), h = ParseInt(value.substr(x + 1));
  if (!w || !h || *w <= 0 || *h <= 0) return std::nullopt;
  return TViewSize{*w, *h};
}

// render --view: the picture as the detail view of that size shows it.
int WriteView(THeadlessPlayer& player, const TViewSize& view, TDisplayMode mode,
              const std::string& output, int at, std::ostream& out) {
  const TFileHeader& header = player.Context().Header;
  TPictureLayout layout;
  const TDib picture = RenderView(player.Player().BackBuffer(), header.Width, header.Height,
                                  view.Width, view.Height, mode, layout);
  SavePng(picture, output);
  out << "Wrote " << output << ": the picture at " << at << " ms in a " << view.Width << " x "
      << view.Height << " view, " << layout.Width << " x " << layout.Height << " at ("
      << layout.Left << ", " << layout.Top << "), zoom " << layout.Zoom << "%\n";
  return kExitOk;
}

void PrintOpened(THeadlessPlayer& player, const std::string& address, std::ostream& out) {
  const TFileHeader& header = player.Context().Header;
  out << "Opened " << address << ": " << header.Width << " x " << header.Height << ", "
      << FormatSeconds(header.Duration / 1000) << ", " << player.Context().Index.Count()
      << " key frames indexed\n";
}

// SIGINT and SIGTERM end playing cleanly instead of killing the process mid-write.
class TInterruptWatch {
 public:
  TInterruptWatch() {
    FRaised = 0;
    FOldInt = std::signal(SIGINT, Handler);
    FOldTerm = std::signal(SIGTERM, Handler);
  }
  ~TInterruptWatch() {
    std::signal(SIGINT, FOldInt);
    std::signal(SIGTERM, FOldTerm);
  }
  TInterruptWatch(const TInterruptWatch&) = delete;
  TInterruptWatch& operator=(const TInterruptWatch&) = delete;
  bool Raised() const { return FRaised != 0; }

 private:
  static void Handler(int) { FRaised = 1; }
  static inline volatile std::sig_atomic_t FRaised = 0;
  void (*FOldInt)(int);
  void (*FOldTerm)(int);
};

}  // namespace

int RunPlay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto usage = [&](const std::string& what) {
    err << "kyvtool play: " << what << " (see kyvtool --help)\n";
    return kExitUsage;
  };
  TPlayOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--")) {
      if (!options.Address.empty()) return usage("more than one address");
      options.Address = arg;
      continue;
    }
    if (i + 1 >= args.size()) return usage(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--out") {
      options.OutDir = value;
      continue;
    }
    const std::optional<int> number = ParseInt(value);
    if (!number) return usage(arg + " needs a whole number, not \"" + value + "\"");
    if (arg == "--speed") {
      if (*number < 1 || *number > 32 || (*number & (*number - 1)) != 0)
        return usage("--speed takes 1, 2, 4, 8, 16 or 32");
      options.Speed = *number;
    } else if (arg == "--for") {
      if (*number < 1) return usage("--for must be 1 ms or more");
      options.For = *number;
    } else if (arg == "--snapshot-every") {
      if (*number < 1) return usage("--snapshot-every must be 1 ms or more");
      options.SnapshotEvery = *number;
    } else {
      return usage("unknown option " + arg);
    }
  }
  if (options.Address.empty()) return usage("expected the ADDRESS of a recording");
  if (options.SnapshotEvery.has_value() != !options.OutDir.empty())
    return usage("--snapshot-every and --out go together");
  if (!options.OutDir.empty()) std::filesystem::create_directories(options.OutDir);

  THeadlessPlayer player;
  out << "Opening " << options.Address << "\n" << std::flush;
  // --for bounds the whole run: a source that never opens must not outlast it.
  const auto runStarted = Clock::now();
  player.Open(options.Address, options.For ? std::chrono::milliseconds(*options.For)
                                           : std::chrono::milliseconds(std::chrono::seconds(30)));
  PrintOpened(player, options.Address, out);
  TPlayThread& thread = player.Player();
  const uint32_t duration = player.Context().Header.Duration;

  uint32_t nextSnapshot = 0;
  int snapshots = 0;
  bool pictureShown = false;
  THeadlessPlayer::TListener listener;
  listener.Dirty = [&](const TRect&) {
    pictureShown = true;
    if (!options.SnapshotEvery) return;
    // One snapshot for each multiple of the interval that playback has passed since the last.
    const uint32_t shown = thread.LastSampleTime();
    if (shown < nextSnapshot) return;
    const std::filesystem::path file = options.OutDir / SnapshotName(shown);
    SavePng(CopyPicture(thread.BackBuffer()), file.string());
    ++snapshots;
    out << "  snapshot at " << shown << " ms: " << file.string() << "\n";
    nextSnapshot = (shown / *options.SnapshotEvery + 1) * *options.SnapshotEvery;
  };
  player.SetListener(listener);

  player.Play(options.Speed);
  out << "Playing at speed " << options.Speed
      << (player.IsLive() ? " (live: until interrupted)" : "") << "\n"
      << std::flush;
  TInterruptWatch interrupt;

  const auto started = Clock::now();
  const bool still = duration == 0 && !player.IsLive();
  const auto finished = [&] {
    return player.Ended() || (still && pictureShown) || interrupt.Raised() ||
           (options.For && Clock::now() - runStarted >= std::chrono::milliseconds(*options.For));
  };
  TPlayState state = psPlaying;
  uint32_t lastCount = thread.ShownCount();
  auto lastReport = started;
  for (;;) {
    if (player.Pump(std::chrono::milliseconds(1000), finished) || finished()) break;
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - lastReport).count();
    const uint32_t count = thread.ShownCount();
    if (thread.State() != state) {
      state = thread.State();
      out << "State: " << StateName(state) << "\n";
    }
    char line[160];
    std::snprintf(line, sizeof line, "  %s  position %u ms, %u frames shown, %.1f frames/s\n",
                  FormatSeconds(thread.CurrentTime() / 1000).c_str(), thread.CurrentTime(), count,
                  seconds > 0 ? (count - lastCount) / seconds : 0.0);
    out << line << std::flush;
    lastCount = count;
    lastReport = now;
  }
  const double total = std::chrono::duration<double>(Clock::now() - started).count();
  if (interrupt.Raised()) out << "Interrupted.\n";
  if (still) out << "The source has no duration: it showed its first picture.\n";
  out << "End at " << thread.LastSampleTime() << " ms: " << thread.ShownCount()
      << " frames shown in " << static_cast<int>(total * 1000) << " ms";
  if (options.SnapshotEvery)
    out << ", " << snapshots << " snapshots in " << options.OutDir.string();
  out << "\n";
  return kExitOk;
}

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto usage = [&](const std::string& what) {
    err << "kyvtool render: " << what << " (see kyvtool --help)\n";
    return kExitUsage;
  };
  std::string address;
  std::optional<int> at;
  std::string output;
  std::optional<TViewSize> view;
  TDisplayMode mode = dmAdaptive;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("-")) {
      if (!address.empty()) return usage("more than one address");
      address = arg;
      continue;
    }
    if (i + 1 >= args.size()) return usage(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--at") {
      at = ParseInt(value);
      if (!at || *at < 0) return usage("--at needs a time in ms, not \"" + value + "\"");
    } else if (arg == "-o" || arg == "--out") {
      output = value;
    } else if (arg == "--view") {
      view = ParseViewSize(value);
      if (!view) return usage("--view needs WxH, not \"" + value + "\"");
    } else if (arg == "--mode") {
      if (value == "adaptive") {
        mode = dmAdaptive;
      } else if (value == "original") {
        mode = dmOriginal;
      } else {
        return usage("--mode is adaptive or original, not \"" + value + "\"");
      }
    } else {
      return usage("unknown option " + arg);
    }
  }
  if (address.empty()) return usage("expected the ADDRESS of a recording");
  if (!at) return usage("expected --at MS");
  if (output.empty()) return usage("expected -o OUT.png");

  THeadlessPlayer player;
  player.Open(address);
  player.RenderAt(static_cast<uint32_t>(*at));
  const std::filesystem::path file(output);
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  if (view) return WriteView(player, *view, mode, output, *at, out);
  SavePng(CopyPicture(player.Player().BackBuffer()), output);
  out << "Wrote " << output << ": the picture at " << *at << " ms (frame at "
      << player.Player().LastSampleTime() << " ms)\n";
  return kExitOk;
}

}  // namespace kyv::tool
