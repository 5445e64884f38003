#include "writer/SampleGenerator.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
#include "platform/Errors.h"
#include "writer/BitmapWriter.h"
#include "writer/PayloadEncoder.h"

namespace kyv {

namespace {

constexpr uint32_t kTick = 100;  // ms between the generator's moments
constexpr char kText[] =
    "The quick brown fox jumps over the lazy dog. 0123456789 Sphinx of black quartz, judge my "
    "vow! ";

struct TCursorShape {
  int BitCount;
  TCompression Compression;
  bool TopDown;
};

// Every depth a cursor image may have, and every compression that carries a bitmap.
constexpr TCursorShape kShapes[] = {
    {4, ckNone, false},       // arrow
    {24, ckBitmap58, false},  // one black dot
    {1, ckZlib, false},       // I-beam
    {8, ckLzo, false},        // hand
    {16, ckZlib, false},      // busy circle
    {24, ckLzo, true},        // cross, rows top-down
    {32, ckNone, false},      // four-way arrows
};
constexpr int kShapeCount = static_cast<int>(std::size(kShapes));

size_t JpegImageSize(int width, int height) {
  return kBitmapHeadersSize + BitmapStride(static_cast<uint64_t>(width), 24) * height;
}

}  // namespace

int TSampleGenerator::CursorShapeCount() {
  return kShapeCount;
}

TPixels24 TSampleGenerator::CursorImage(int shape) {
  KYV_ASSERT(shape >= 0 && shape < kShapeCount);
  constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
  switch (shape) {
    case 0: {
      TPixels24 image(32, 32, kCursorTransparent);
      for (int y = 0; y < 20; ++y) {
        const int edge = y * 3 / 5;
        for (int x = 0; x <= edge; ++x)
          image.SetColour(x, y, x == 0 || x == edge || y == 19 ? kBlack : kWhite);
      }
      return image;
    }
    case 1:
      return TPixels24(1, 1, kBlack);
    case 2: {
      TPixels24 image(9, 18, kCursorTransparent);
      image.Fill(4, 1, 1, 16, kBlack);
      image.Fill(1, 0, 7, 1, kBlack);
      image.Fill(1, 17, 7, 1, kBlack);
      return image;
    }
    case 3: {
      TPixels24 image(32, 32, kCursorTransparent);
      for (int finger = 0; finger < 4; ++finger)
        image.Fill(6 + finger * 5, 4 + (finger % 2) * 3, 4, 14, 0x80C0FF - finger * 0x000810);
      image.Fill(6, 16, 19, 12, 0x70B0F0);
      image.Fill(2, 14, 4, 8, 0x60A0E0);
      image.Fill(6, 27, 19, 1, kBlack);
      return image;
    }
    case 4: {
      TPixels24 image(32, 32, kCursorTransparent);
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
          const double dx = x - 15.5, dy = y - 15.5;
          const double r = std::sqrt(dx * dx + dy * dy);
          if (r > 15 || r < 9) continue;
          const double angle = std::atan2(dy, dx);
          const auto level = static_cast<uint32_t>(std::lround(127.5 + 127.5 * std::sin(angle)));
          image.SetColour(x, y, level | ((255 - level) << 8) | (0x40u << 16));
        }
      return image;
    }
    case 5: {
      TPixels24 image(21, 21, kCursorTransparent);
      image.Fill(9, 0, 3, 21, kWhite);
      image.Fill(0, 9, 21, 3, kWhite);
      image.Fill(10, 1, 1, 19, kBlack);
      image.Fill(1, 10, 19, 1, kBlack);
      return image;
    }
    default: {
      TPixels24 image(32, 32, kCursorTransparent);
      image.Fill(15, 2, 2, 28, 0xC00000);
      image.Fill(2, 15, 28, 2, 0xC00000);
      for (int i = 0; i < 5; ++i) {
        image.Fill(15 - i, 2 + i, 2 + 2 * i, 1, 0xFF4000);
        image.Fill(15 - i, 29 - i, 2 + 2 * i, 1, 0xFF4000);
        image.Fill(2 + i, 15 - i, 1, 2 + 2 * i, 0xFF4000);
        image.Fill(29 - i, 15 - i, 1, 2 + 2 * i, 0xFF4000);
      }
      return image;
    }
  }
}

TSampleGenerator::TSampleGenerator(const TSampleOptions& options)
    : FOptions(options),
      FScene((options.Width >= 64 && options.Height >= 48) ? options.Width : 64,
             (options.Width >= 64 && options.Height >= 48) ? options.Height : 48) {
  if (options.Width < 64 || options.Height < 48 || options.Width > 65535 || options.Height > 65535)
    throw EKyvError("A sample screen must be 64 x 48 to 65535 x 65535 pixels, not " +
                    std::to_string(options.Width) + " x " + std::to_string(options.Height));
  if (JpegImageSize(options.Width, options.Height) > kMaxDecodedBytes)
    throw EKyvError("A key frame of " + std::to_string(options.Width) + " x " +
                    std::to_string(options.Height) +
                    " pixels would not fit the decoder's 10 MiB output buffer");
  if (options.Seconds < 1 || options.Seconds > 4000000)
    throw EKyvError("A sample must last 1 to 4000000 seconds, not " +
                    std::to_string(options.Seconds));
  if (options.KeyFrameInterval < kTick)
    throw EKyvError("Key frames cannot come more often than every 100 ms");
  FDecoder = std::make_unique<TDecoderUsage>();
  FDuration = static_cast<uint32_t>(options.Seconds) * 1000;
  FScreen = TPixels24(options.Width, options.Height);
}

TSampleGenerator::~TSampleGenerator() = default;

bool TSampleGenerator::NextTime(uint32_t& time) {
  // A tick is planned only when the previous one has been made, since its plan depends on
  // what the previous frames did (caret shown, editor full).
  while (FPending.empty()) {
    if (FNextTick > FDuration) return false;
    FPlannedTick = FNextTick;
    PlanTick(FNextTick);
    FNextTick += kTick;
  }
  time = FPlannedTick;
  return true;
}

bool TSampleGenerator::Next(TSampleFrame& frame) {
  uint32_t time = 0;
  if (!NextTime(time)) return false;
  const TAction action = std::move(FPending.front());
  FPending.pop_front();
  frame.Header = TFrameHeader{};
  frame.Payload.clear();
  action(frame);
  frame.Header.DataSize = static_cast<uint32_t>(frame.Payload.size());
  ++FFrameCount;
  return true;
}

void TSampleGenerator::MouseAt(uint32_t time, uint16_t& x, uint16_t& y) const {
  const double w = FOptions.Width, h = FOptions.Height;
  const double fx = w / 2 + w / 3 * std::sin(time / 1700.0);
  const double fy = h / 2 + h / 3 * std::cos(time / 1300.0);
  x = static_cast<uint16_t>(std::clamp(static_cast<int>(fx), 1, FOptions.Width - 1));
  y = static_cast<uint16_t>(std::clamp(static_cast<int>(fy), 1, FOptions.Height - 1));
}

// The moments of one tick, in the order their frames come.
void TSampleGenerator::PlanTick(uint32_t t) {
  if (t % FOptions.KeyFrameInterval == 0)
    FPending.push_back([this, t](TSampleFrame& frame) { KeyFrame(frame, t); });
  if (t == 0 || t % 1000 == 600)
    FPending.push_back(
        [this, t](TSampleFrame& frame) { CursorShapeFrame(frame, t, (FShape + 1) % kShapeCount); });

  const uint32_t phase = t % 4000;
  if (phase < 3000 && t % 200 == 0 && FScene.CanType()) {
    if (FScene.CaretOn())
      FPending.push_back([this, t](TSampleFrame& frame) { CaretFrame(frame, t); });
    if (FScene.EditorFull())
      FPending.push_back([this, t](TSampleFrame& frame) {
        const TSampleRect body = FScene.ClearEditor();
        const TPixels24 pixels = FScene.Render(body);
        RectFrame(frame, t, ftCopyRect, body, pixels, ckZlib, ChooseBitCount(pixels, 1));
      });
    FPending.push_back([this, t](TSampleFrame& frame) {
      const TSampleRect cell = FScene.Type(kText[FTyped % (sizeof kText - 1)]);
      const TPixels24 pixels = FScene.Render(cell);
      static constexpr TCompression kinds[] = {ckNone, ckLzo, ckZlib, ckNone};
      const TCompression kind = kinds[FTyped % 4];
      const int bitCount = FTyped % 4 == 0 ? 24 : ChooseBitCount(pixels, FTyped % 2 ? 1 : 8);
      RectFrame(frame, t, ftCopyRect, cell, pixels, kind, bitCount);
      if (FTyped % 2 == 0) {
        MouseAt(t, frame.Header.MouseX, frame.Header.MouseY);
        FCursor.X = frame.Header.MouseX;
        FCursor.Y = frame.Header.MouseY;
        FCursor.Hidden = false;
      }
      ++FTyped;
    });
  }
  if (phase >= 3000 && t % 300 == 0 && (FScene.CanType() || FScene.CaretOn()))
    FPending.push_back([this, t](TSampleFrame& frame) { CaretFrame(frame, t); });

  if (t % 6000 >= 1000 && t % 6000 < 2600)
    FPending.push_back([this, t](TSampleFrame& frame) {
      const TSampleRect rect = FScene.MoveWindow();
      const TPixels24 pixels = FScene.Render(rect);
      const TCompression kind = FMoves % 2 ? ckLzo : ckZlib;
      RectFrame(frame, t, ftCopyRect, rect, pixels, kind,
                ChooseBitCount(pixels, FMoves % 3 == 0 ? 8 : 24));
      ++FMoves;
    });

  if (t % 3000 == 2000)
    FPending.push_back([this, t](TSampleFrame& frame) {
      FScene.SetPhotoPhase(static_cast<int>(++FPhotos));
      const TSampleRect rect = FScene.Photo();
      RectFrame(frame, t, ftCopyRect, rect, FScene.Render(rect), ckJpeg, 24);
    });

  if (t % 1000 == 500)
    FPending.push_back([this, t](TSampleFrame& frame) {
      FScene.SetClock(t / 1000);
      const TSampleRect rect = FScene.Clock();
      const TPixels24 pixels = FScene.Render(rect);
      static constexpr TCompression kinds[] = {ckNone, ckZlib, ckNone};
      const int bitCounts[] = {32, ChooseBitCount(pixels, 8), 24};
      RectFrame(frame, t, ftCopyRect, rect, pixels, kinds[FClocks % 3], bitCounts[FClocks % 3]);
      ++FClocks;
    });

  if (t % 200 == 100)
    FPending.push_back([this, t](TSampleFrame& frame) {
      uint16_t x = 0, y = 0;
      if (t % 7000 != 2100) MouseAt(t, x, y);  // once in a while the cursor is hidden
      CursorMoveFrame(frame, t, x, y);
    });

  if (phase == 3900 || t == FDuration)
    FPending.push_back([t](TSampleFrame& frame) {
      frame.Header.Time = t;
      frame.Header.FrameType = ftMarker;
      frame.Header.Compression = ckNone;
    });
}

void TSampleGenerator::KeyFrame(TSampleFrame& frame, uint32_t time) {
  static constexpr TCompression kinds[] = {ckZlib, ckLzo, ckZlib, ckJpeg};
  const TCompression kind = kinds[FKeyFrames % 4];
  // The first key frame shows the scene; later ones show what the screen holds, as a recorder
  // capturing the screen would.
  const TPixels24 pixels =
      FKeyFrames == 0 ? FScene.Render({0, 0, FOptions.Width, FOptions.Height}) : FScreen;
  RectFrame(frame, time, ftKeyFrame, {0, 0, FOptions.Width, FOptions.Height}, pixels, kind, 24);
  ++FKeyFrames;
}

void TSampleGenerator::RectFrame(TSampleFrame& frame, uint32_t time, TFrameType type,
                                 const TSampleRect& rect, const TPixels24& pixels,
                                 TCompression compression, int bitCount) {
  frame.Header.Time = time;
  frame.Header.Left = static_cast<uint16_t>(rect.Left);
  frame.Header.Top = static_cast<uint16_t>(rect.Top);
  frame.Header.FrameType = type;
  frame.Header.Compression = compression;
  size_t decodedSize = 0;
  if (compression == ckJpeg) {
    TJpegOptions options;
    options.Quality = type == ftKeyFrame ? 90 : 75;
    options.Greyscale = type != ftKeyFrame && FPhotos % 3 == 0;
    frame.Payload = EncodeJpeg(pixels, options);
    decodedSize = JpegImageSize(pixels.Width, pixels.Height);
  } else {
    const std::vector<uint8_t> image = EncodeBitmapFile(pixels, bitCount);
    frame.Payload = EncodeBitmapPayload(image.data(), image.size(), compression);
    decodedSize = image.size();
  }
  Apply(frame, decodedSize);
}

void TSampleGenerator::CaretFrame(TSampleFrame& frame, uint32_t time) {
  const TSampleRect caret = FScene.CaretRect();
  static constexpr TCompression kinds[] = {ckNone, ckZlib, ckLzo};
  static constexpr int bitCounts[] = {24, 8, 1};
  const TPixels24 invert(caret.Width, caret.Height, 0xFFFFFF);
  RectFrame(frame, time, ftXorRect, caret, invert, kinds[FCarets % 3], bitCounts[FCarets % 3]);
  FScene.SetCaretOn(!FScene.CaretOn());
  ++FCarets;
}

std::vector<uint8_t> TSampleGenerator::CursorBitmap(int shape) {
  const TCursorShape& kind = kShapes[shape];
  return EncodeBitmapFile(CursorImage(shape), kind.BitCount, kind.TopDown);
}

void TSampleGenerator::CursorShapeFrame(TSampleFrame& frame, uint32_t time, int shape) {
  const TCursorShape& kind = kShapes[shape];
  const std::vector<uint8_t> image = CursorBitmap(shape);
  frame.Payload = EncodeBitmapPayload(image.data(), image.size(), kind.Compression);
  frame.Header.Time = time;
  frame.Header.FrameType = ftCursor;
  frame.Header.Compression = kind.Compression;
  MouseAt(time, frame.Header.Left, frame.Header.Top);
  FShape = shape;
  FCursor.Shape = shape;
  FCursor.X = frame.Header.Left;
  FCursor.Y = frame.Header.Top;
  FCursor.Hidden = false;
}

void TSampleGenerator::CursorMoveFrame(TSampleFrame& frame, uint32_t time, uint16_t x, uint16_t y) {
  frame.Header.Time = time;
  frame.Header.FrameType = ftCursor;
  frame.Header.Compression = ckNone;
  frame.Header.Left = x;
  frame.Header.Top = y;
  if (x == 0 && y == 0) {
    FCursor.Hidden = true;
  } else {
    FCursor.X = x;
    FCursor.Y = y;
    FCursor.Hidden = false;
  }
}

void TSampleGenerator::Apply(const TSampleFrame& frame, size_t decodedSize) {
  FDecoded.resize(decodedSize);
  const int32_t result =
      UnZip(frame.Payload.data(), static_cast<int32_t>(frame.Payload.size()),
            frame.Header.Compression, FDecoded.data(), static_cast<int32_t>(FDecoded.size()));
  const bool sizeRight = frame.Header.Compression == ckBitmap58
                             ? result == 0
                             : result == static_cast<int32_t>(decodedSize);
  if (!sizeRight)
    throw EAssertionFailed("The decoder made " + std::to_string(result) +
                           " bytes of a payload of " + std::to_string(decodedSize));
  const TPixels24 part = DecodeBitmapFile(FDecoded.data(), FDecoded.size());
  const int left = frame.Header.Left, top = frame.Header.Top;
  if (frame.Header.FrameType == ftXorRect) {
    for (int y = 0; y < part.Height; ++y) {
      uint8_t* target = FScreen.Pixel(left, top + y);
      const uint8_t* source = part.Pixel(0, y);
      for (int i = 0; i < part.Width * 3; ++i) target[i] ^= source[i];
    }
  } else {
    FScreen.Paste(part, left, top);
  }
}

}  // namespace kyv
