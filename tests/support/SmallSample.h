#pragma once

#include <cstdint>

#include "writer/SampleGenerator.h"

namespace kyv::test {

// A short, small recording that the tests make quickly; NailInterval 0 writes no thumbnails.
inline TSampleOptions SmallSample(int Seconds, uint32_t NailInterval = 0) {
  TSampleOptions options;
  options.Width = 160;
  options.Height = 120;
  options.Seconds = Seconds;
  options.NailInterval = NailInterval;
  return options;
}

}  // namespace kyv::test
