#include "CommandLine.h"

#include <charconv>
#include <limits>

namespace kyv::player {

namespace {

// The toolkit's options that take a value.
constexpr const char* kToolkitOptionsWithValue[] = {
    "-platform",   "-platformpluginpath", "-platformtheme", "-plugin",      "-display", "-style",
    "-stylesheet", "-qwindowgeometry",    "-qwindowtitle",  "-qwindowicon", "-session"};
constexpr const char* kToolkitFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

bool IsOneOf(const std::string& Arg, const auto& Names) {
  for (const char* name : Names)
    if (Arg == name) return true;
  return false;
}

int32_t Milliseconds(const std::string& Option, const std::string& Text) {
  int64_t value = -1;
  const char* end = Text.data() + Text.size();
  const auto [stop, error] = std::from_chars(Text.data(), end, value);
  if (error != std::errc() || stop != end || value < 0 ||
      value > std::numeric_limits<int32_t>::max())
    throw EUsageError(Option + " wants milliseconds from 0 to 2147483647, not \"" + Text + "\"");
  return static_cast<int32_t>(value);
}

TDisplayMode ModeNamed(const std::string& Text) {
  if (Text == "adaptive") return dmAdaptive;
  if (Text == "original") return dmOriginal;
  if (Text == "full") return dmFull;
  throw EUsageError("--mode is adaptive, original or full, not \"" + Text + "\"");
}

}  // namespace

TPlayerOptions ParseCommandLine(const std::vector<std::string>& Args) {
  TPlayerOptions options;
  bool optionsEnded = false;
  const auto setAddress = [&](const std::string& Text) {
    if (!options.Address.empty())
      throw EUsageError("one address at a time: \"" + options.Address + "\" and \"" + Text + "\"");
    if (Text.empty()) throw EUsageError("the address is empty");
    options.Address = Text;
  };
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      setAddress(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (IsOneOf(arg, kToolkitFlags)) continue;
    if (IsOneOf(arg, kToolkitOptionsWithValue)) {
      ++i;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    const auto take = [&]() -> std::string {
      if (value) return *value;
      if (i + 1 >= Args.size()) throw EUsageError(name + " wants a value");
      return Args[++i];
    };
    const auto flag = [&](bool& Target) {
      if (value) throw EUsageError(name + " takes no value");
      Target = true;
    };
    if (name == "--at")
      options.At = Milliseconds(name, take());
    else if (name == "--after")
      options.After = Milliseconds(name, take());
    else if (name == "--mode")
      options.Mode = ModeNamed(take());
    else if (name == "--screenshot") {
      options.Screenshot = take();
      if (options.Screenshot.empty()) throw EUsageError("--screenshot wants a file name");
    } else if (name == "--paused")
      flag(options.Paused);
    else if (name == "--help" || name == "-h")
      flag(options.Help);
    else if (name == "--version")
      flag(options.Version);
    else
      throw EUsageError("unknown option " + name);
  }
  if (options.After && options.Screenshot.empty())
    throw EUsageError("--after goes with --screenshot");
  return options;
}

std::string UsageText() {
  return "usage: kyvplayer [ADDRESS] [--at MS] [--paused] [--mode adaptive|original|full]\n"
         "                 [--screenshot FILE.png [--after MS]] [--help] [--version]\n"
         "\n"
         "Plays a Kyv screen recording: a file, an http:// or ftp:// address, a live station\n"
         "(kyvs://host/channel) or a multicast description (.sms).\n"
         "\n"
         "  --at MS          start at MS milliseconds\n"
         "  --paused         open without playing\n"
         "  --mode M         display mode: adaptive (fit the window), original (1:1), full\n"
         "  --screenshot F   save the window as a PNG once the first picture is shown, and quit\n"
         "                   (exit status 1 when the source failed)\n"
         "  --after MS       with --screenshot: save it MS milliseconds after the start instead\n"
         "  --help, --version\n";
}

}  // namespace kyv::player
