#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "StationRecording.h"

namespace kyv::station {

// A place in the looped broadcast: frame Index of loop Loop.
struct TBroadcastPosition {
  uint64_t Loop = 0;
  size_t Index = 0;

  friend bool operator==(const TBroadcastPosition&, const TBroadcastPosition&) = default;
};

// When each frame of the looped recording is on air, and the time it carries. The broadcast
// started at Origin with loop 0's first frame; loop N carries the recording's times plus N loop
// periods, so times keep increasing (modulo 2^32, as the players' clocks do). A paced broadcast
// puts frame F on air at Origin + (its offset from the first frame) / Speed; an unpaced one has
// every frame due at once. Immutable, so any thread may use it.
class TBroadcastSchedule {
 public:
  using TClock = std::chrono::steady_clock;

  TBroadcastSchedule(const TStationRecording& Recording, double Speed, bool Paced,
                     TClock::time_point Origin);

  bool Paced() const noexcept { return FPaced; }
  TClock::time_point Origin() const noexcept { return FOrigin; }

  // Where a player joining at Now starts: the latest key frame on air at or before Now (the
  // previous loop's last one when the loop begins before its first key frame); loop 0's first
  // key frame when nothing is on air yet or the broadcast is not paced.
  TBroadcastPosition StartAt(TClock::time_point Now) const;
  TBroadcastPosition Next(TBroadcastPosition Position) const;
  // Milliseconds of recording time from loop 0's first frame.
  uint64_t OffsetMs(TBroadcastPosition Position) const;
  TClock::time_point DueTime(TBroadcastPosition Position) const;
  // The Time that the frame carries on the wire.
  uint32_t WireTime(TBroadcastPosition Position) const;

 private:
  const TStationRecording& FRecording;
  const double FSpeed;
  const bool FPaced;
  const TClock::time_point FOrigin;
};

}  // namespace kyv::station
