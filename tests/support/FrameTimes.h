#pragma once

#include <cstdint>
#include <vector>

#include "store/FramesBuffer.h"

namespace kyv::test {

// The Time of every record the buffer holds, in order.
inline std::vector<uint32_t> FrameTimes(TFramesBuffer& Frames) {
  TFramesBuffer::TGuard guard(Frames);
  std::vector<uint32_t> times;
  for (int32_t i = 0; i < Frames.Count(); ++i) times.push_back(Frames.Items(i).Time());
  return times;
}

}  // namespace kyv::test
