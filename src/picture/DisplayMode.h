#pragma once

#include <cstdint>

namespace kyv {

// How the control shows the recording. The numbers cross the host interface.
enum TDisplayMode : int32_t {
  dmAdaptive = 0,  // reduced to fit the view, centred, never enlarged
  dmFull = 1,      // in the full-screen window
  dmOriginal = 2,  // 1:1 with scroll bars where the view is smaller
};

}  // namespace kyv
