#pragma once

#include <cstdint>
#include <string>

#include "picture/DisplayMode.h"

namespace kyv {

// The control's play state, with the values hosts see (OnPlayStateChanged, Status). The control
// never enters vpScanReverse or vpSeeking; they exist because hosts know the numbers.
enum TStatus : int32_t {
  vpClosed = 0,
  vpOpened = 1,
  vpPlaying = 2,
  vpPaused = 3,
  vpStopped = 4,
  vpScanForward = 5,
  vpScanReverse = 6,
  vpOpening = 7,
  vpSeeking = 8,
};

// Why the last source failed, for a host that wants to say so: the reader's code and its text,
// and what the reader learnt of the cause ("" when it said nothing more).
struct TSourceError {
  int Code = 0;
  std::string Text;
  std::string Cause;
};

}  // namespace kyv
