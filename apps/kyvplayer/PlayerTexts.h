#pragma once

#include <cstdint>
#include <string>

#include "ControlLink.h"
#include "kyv/kyvplayer.h"

namespace kyv::player {

// "00:01:05 / 00:20:00": the position and the length, in whole seconds; "00:01:05 / live" for
// a live source, which has no length.
std::string ClockText(int32_t PositionMs, int32_t DurationMs, bool Live = false);

// The state as the status line names it ("Playing", "Paused" ...).
std::string StateText(TStatus Status);

// The state as the desktop's media interface names it: "Playing", "Paused" or "Stopped".
std::string PlaybackStatusText(TStatus Status);

// A source's failure as a person reads it: "cannot open ADDRESS: error 15, TEXT (ENGLISH):
// CAUSE" (the English outside the Chinese locale), "cannot go on playing ..." once it had
// played; a failure without a code is its text alone.
std::string FailureText(const std::string& Address, const TSourceFailure& Failure, bool Opening);

// The name a window title shows for an address: its last part, without a query.
std::string TitleOf(const std::string& Address);

}  // namespace kyv::player
