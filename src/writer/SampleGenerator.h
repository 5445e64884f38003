#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "decoder/FileFormat.h"
#include "writer/Pixels24.h"
#include "writer/SampleScene.h"

namespace kyv {

class TDecoderUsage;

struct TSampleOptions {
  int Width = 1024;  // 64 to 65535, and a key frame's image must fit 10 MiB
  int Height = 768;  // 48 to 65535
  int Seconds = 20;  // 1 or more; the last frame's time is Seconds * 1000
  int16_t Version = kKyvVersion101;
  uint32_t KeyFrameInterval = 5000;  // ms between key frames, 100 or more
  uint32_t NailInterval = 5000;      // ms between thumbnails; 0 writes none
  int NailWidth = 160;               // pixels; the height keeps the screen's proportions
};

// One frame record as the generator makes it; Header.DataSize is the payload's length.
struct TSampleFrame {
  TFrameHeader Header{};
  std::vector<uint8_t> Payload;
};

// Where the generator has put the cursor after a frame: the last position a frame gave
// (0, 0 before any), whether the last cursor frame hid it, and the index of its shape.
struct TSampleCursor {
  uint16_t X = 0;
  uint16_t Y = 0;
  bool Hidden = false;
  int Shape = -1;  // -1: still the player's built-in arrow
};

// Makes a desktop-like recording frame by frame, deterministically: a key frame every
// KeyFrameInterval, typing (small copy rectangles), a caret drawn and undone by exclusive-or,
// a window that moves (large copy rectangles), a picture window updated with JPEG payloads, a
// ticking clock, cursor frames with images of every depth (one of them a 58-byte payload) and
// cursor moves, MouseX/MouseY on typing frames, and markers; the last frame is a marker at
// Seconds * 1000. Every frame type and every compression kind occurs in the first 6 seconds.
//
// Screen() is the picture that the player shows after the frame that Next made last, without
// the cursor: every payload is decoded through the project's decoder (kyv::UnZip) and applied
// as the player applies it (copy, exclusive-or, key frame), so it is exact also for JPEG.
// Single-threaded; it holds a decoder usage (InitDecoder) for its lifetime.
class TSampleGenerator {
 public:
  explicit TSampleGenerator(const TSampleOptions& options);  // raises EKyvError on bad options
  ~TSampleGenerator();
  TSampleGenerator(const TSampleGenerator&) = delete;
  TSampleGenerator& operator=(const TSampleGenerator&) = delete;

  // Makes the next frame record into frame (its payload's storage is reused) and applies it to
  // Screen(); false when the recording is complete.
  bool Next(TSampleFrame& frame);
  // The time of the frame that Next will make, or false when none is left; Screen() is then
  // the picture at every moment up to that time.
  bool NextTime(uint32_t& time);

  const TPixels24& Screen() const { return FScreen; }
  const TSampleCursor& Cursor() const { return FCursor; }
  uint64_t FrameCount() const { return FFrameCount; }  // frames made so far
  uint32_t Duration() const { return FDuration; }
  const TSampleOptions& Options() const { return FOptions; }

  // The image of a cursor shape (0 to CursorShapeCount() - 1), pure red where transparent, and
  // the depth and compression its cursor frame uses.
  static int CursorShapeCount();
  static TPixels24 CursorImage(int shape);
  // The bitmap file image that the cursor frame of a shape carries, at the shape's depth.
  static std::vector<uint8_t> CursorBitmap(int shape);

 private:
  using TAction = std::function<void(TSampleFrame&)>;

  void PlanTick(uint32_t time);
  void KeyFrame(TSampleFrame& frame, uint32_t time);
  // A rectangle frame of the scene's pixels (copy) or of the given pixels (exclusive-or).
  void RectFrame(TSampleFrame& frame, uint32_t time, TFrameType type, const TSampleRect& rect,
                 const TPixels24& pixels, TCompression compression, int bitCount);
  void CursorShapeFrame(TSampleFrame& frame, uint32_t time, int shape);
  void CursorMoveFrame(TSampleFrame& frame, uint32_t time, uint16_t x, uint16_t y);
  void CaretFrame(TSampleFrame& frame, uint32_t time);
  // Decodes a payload as the player would and applies it to the screen.
  void Apply(const TSampleFrame& frame, size_t decodedSize);
  void MouseAt(uint32_t time, uint16_t& x, uint16_t& y) const;

  TSampleOptions FOptions;
  std::unique_ptr<TDecoderUsage> FDecoder;
  TSampleScene FScene;
  TPixels24 FScreen;
  TSampleCursor FCursor;
  std::deque<TAction> FPending;
  std::vector<uint8_t> FDecoded;
  uint32_t FDuration = 0;
  uint32_t FNextTick = 0;
  uint32_t FPlannedTick = 0;  // the tick whose frames FPending holds
  uint64_t FFrameCount = 0;
  uint64_t FTyped = 0, FMoves = 0, FCarets = 0, FPhotos = 0, FClocks = 0, FKeyFrames = 0;
  int FShape = -1;
};

}  // namespace kyv
