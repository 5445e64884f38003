#pragma once

#include <gtest/gtest.h>

#include "store/FramesBuffer.h"

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

// The counters must always describe exactly what the list holds.
inline void ExpectCountersMatchList(TFramesBuffer& buffer) {
  TFramesBuffer::TGuard guard(buffer);
  int64_t bytes = 0;
  int32_t keys = 0;
  for (int32_t i = 0; i < buffer.Count(); ++i) {
    bytes += static_cast<int64_t>(buffer.Items(i).Size());
    keys += buffer.Items(i).IsKeyFrame() ? 1 : 0;
  }
  EXPECT_EQ(buffer.FrameCount(), buffer.Count());
  EXPECT_EQ(buffer.KeyFrameCount(), keys);
  EXPECT_EQ(buffer.TotalBytes(), bytes);
}

}  // namespace kyv::test
