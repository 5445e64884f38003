#pragma once

#include <cstdint>
#include <vector>

#include "decoder/FileFormat.h"
#include "store/FrameRecord.h"

namespace kyv::test {

// A record of the given time and type whose payload bytes all carry Fill.
inline TFrameRecord MakeFrame(uint32_t time, int16_t type = ftXorRect, uint32_t payload = 0,
                              uint8_t fill = 0) {
  TFrameHeader header{};
  header.Time = time;
  header.FrameType = type;
  header.Compression = ckNone;
  header.DataSize = payload;
  std::vector<uint8_t> data(payload, fill);
  return TFrameRecord::Make(header, data);
}

inline TFrameRecord Key(uint32_t time, uint32_t payload = 0) {
  return MakeFrame(time, ftKeyFrame, payload);
}

}  // namespace kyv::test
