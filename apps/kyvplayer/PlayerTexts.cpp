#include "PlayerTexts.h"

#include "decoder/ReaderErrors.h"
#include "platform/FormatSeconds.h"

namespace kyv::player {

std::string ClockText(int32_t PositionMs, int32_t DurationMs, bool Live) {
  const auto seconds = [](int32_t Ms) { return static_cast<uint32_t>(Ms < 0 ? 0 : Ms / 1000); };
  return FormatSeconds(seconds(PositionMs)) + " / " +
         (Live ? std::string("live") : FormatSeconds(seconds(DurationMs)));
}

std::string StateText(TStatus Status) {
  switch (Status) {
    case vpClosed:
      return "Closed";
    case vpOpened:
      return "Ready";
    case vpPlaying:
      return "Playing";
    case vpPaused:
      return "Paused";
    case vpStopped:
      return "Stopped";
    case vpScanForward:
      return "Fast forward";
    case vpScanReverse:
      return "Fast reverse";
    case vpOpening:
      return "Opening";
    case vpSeeking:
      return "Seeking";
  }
  return "State " + std::to_string(static_cast<int>(Status));
}

std::string PlaybackStatusText(TStatus Status) {
  switch (Status) {
    case vpPlaying:
    case vpScanForward:
    case vpScanReverse:
    case vpSeeking:
      return "Playing";
    case vpOpened:
    case vpPaused:
      return "Paused";
    default:
      return "Stopped";
  }
}

std::string FailureText(const std::string& Address, const TSourceFailure& Failure, bool Opening) {
  const std::string head = (Opening ? "cannot open " : "cannot go on playing ") + Address + ": ";
  if (Failure.Code == 0) return head + (Failure.Text.empty() ? Failure.Cause : Failure.Text);
  return head + DescribeReaderFailure(Failure.Code, Failure.Cause);
}

std::string TitleOf(const std::string& Address) {
  std::string name = Address.substr(0, Address.find('?'));
  while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return name.empty() ? Address : name;
}

}  // namespace kyv::player
