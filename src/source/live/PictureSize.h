#pragma once

#include <cstdint>

#include "store/FrameRecord.h"

namespace kyv {

struct TPictureSize {
  uint16_t Width = 0;
  uint16_t Height = 0;
};

// The size of the picture that a key-frame record carries: its payload is decoded (under the
// decoder lock, into the decoder's shared output buffer, at most 10 MiB) and the bitmap's
// bitmap's size is read. The decoder must have been initialised. Raises EKyvError when the
// payload does not decode to a key frame that the picture could be made from (CheckFrameImage),
// whatever is wrong with it. Any thread.
TPictureSize ReadPictureSize(TFrameView Record);

}  // namespace kyv
