#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "picture/Dib.h"
#include "picture/MouseArrow.h"
#include "writer/BitmapWriter.h"
#include "writer/SampleGenerator.h"

namespace kyv::test {

// The pictures a sample recording means to show: after the last frame of each time, the screen
// with the cursor painted where the recording put it. Made by running the same deterministic
// generator that writes the file.
class TGroundTruth {
 public:
  struct TMeant {
    TPixels24 Picture;   // the screen with the cursor painted in
    TRect CursorBounds;  // where the cursor is painted; empty when hidden
    // Whether a frame since the governing key frame placed the cursor; key frames carry neither
    // the cursor's place nor its shape, so only then does a seek know where it stands.
    bool CursorPlacedInGroup = false;
  };

  explicit TGroundTruth(const TSampleOptions& Options) {
    TSampleGenerator generator(Options);
    TSampleFrame frame;
    int64_t keyTime = -1, placedTime = -1;
    while (generator.Next(frame)) {
      const TFrameHeader& h = frame.Header;
      if (h.FrameType == ftKeyFrame) keyTime = h.Time;
      if (h.FrameType == ftCursor || h.MouseX != 0 || h.MouseY != 0) placedTime = h.Time;
      TMeant meant = Compose(generator.Screen(), generator.Cursor());
      meant.CursorPlacedInGroup = placedTime >= 0 && placedTime >= keyTime;
      FTimes[h.Time] = std::move(meant);
      ++FFrameCount;
    }
  }

  // A time at or after Time at which no frame starts, so that a seek there shows every frame
  // up to it (frames sharing one time are otherwise shown only up to the first of them).
  uint32_t QuietTimeFrom(uint32_t Time) const {
    while (FTimes.count(Time)) ++Time;
    return Time;
  }

  // What is meant at Time: after every frame whose time is not later.
  const TMeant& At(uint32_t Time) const {
    auto it = FTimes.upper_bound(Time);
    EXPECT_NE(it, FTimes.begin()) << "no frame at or before " << Time;
    return std::prev(it)->second;
  }

  // Time of the last frame at or before Time.
  uint32_t FrameTimeAt(uint32_t Time) const { return std::prev(FTimes.upper_bound(Time))->first; }
  uint64_t FrameCount() const { return FFrameCount; }

 private:
  static TMeant Compose(const TPixels24& Screen, const TSampleCursor& Cursor) {
    TMeant meant{Screen, {}};
    if (Cursor.Hidden || (Cursor.X == 0 && Cursor.Y == 0)) return meant;
    // The shape as its frame carries it: a cursor of 16 bits per pixel loses colour precision.
    const std::vector<uint8_t> bitmap =
        Cursor.Shape < 0 ? BuiltinArrowImage() : TSampleGenerator::CursorBitmap(Cursor.Shape);
    const TPixels24 shape = DecodeBitmapFile(bitmap.data(), bitmap.size());
    TPixels24& picture = meant.Picture;
    for (int y = 0; y < shape.Height; ++y)
      for (int x = 0; x < shape.Width; ++x) {
        const int px = Cursor.X + x, py = Cursor.Y + y;
        if (px >= picture.Width || py >= picture.Height) continue;
        const uint32_t colour = shape.Colour(x, y);
        if (colour != 0x0000FF) picture.SetColour(px, py, colour);  // red is transparent
      }
    meant.CursorBounds = {Cursor.X, Cursor.Y, Cursor.X + shape.Width, Cursor.Y + shape.Height};
    return meant;
  }

  std::map<uint32_t, TMeant> FTimes;
  uint64_t FFrameCount = 0;
};

// Byte-for-byte comparison of the player's picture with the meant one, leaving out Skip;
// names the first difference and counts them.
inline ::testing::AssertionResult SamePicture(const TDib& Shown, const TPixels24& Meant,
                                              const TRect& Skip = {}) {
  if (Shown.Width() != Meant.Width || Shown.Height() != Meant.Height)
    return ::testing::AssertionFailure() << "size " << Shown.Width() << "x" << Shown.Height()
                                         << " instead of " << Meant.Width << "x" << Meant.Height;
  size_t differing = 0;
  std::string first;
  for (int y = 0; y < Meant.Height; ++y)
    for (int x = 0; x < Meant.Width; ++x)
      if (!Skip.Contains(x, y) && Shown.Colour(x, y) != Meant.Colour(x, y) && differing++ == 0)
        first = "(" + std::to_string(x) + ", " + std::to_string(y) + "): shown " +
                std::to_string(Shown.Colour(x, y)) + ", meant " +
                std::to_string(Meant.Colour(x, y));
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ, first at " << first;
}

}  // namespace kyv::test
