#include "writer/SampleRecording.h"

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "platform/Errors.h"
#include "writer/BitmapWriter.h"
#include "writer/RecordingFile.h"

namespace kyv {
namespace {

using test::TTempDir;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Decodes a payload as the player would, into a picture.
TPixels24 DecodePayload(const std::vector<uint8_t>& payload, int16_t kind) {
  std::vector<uint8_t> dest(KYV_SHARED_OUTPUT_SIZE / 4);
  const int32_t size = UnZip(payload.data(), static_cast<int32_t>(payload.size()), kind,
                             dest.data(), static_cast<int32_t>(dest.size()));
  return DecodeBitmapFile(dest.data(), kind == ckBitmap58 ? 58 : static_cast<size_t>(size));
}

TSampleOptions Small(int seconds) {
  TSampleOptions options;
  options.Width = 200;
  options.Height = 150;
  options.Seconds = seconds;
  return options;
}

class SampleRecordingTest : public ::testing::Test {
 protected:
  TDecoderUsage FDecoder;
  TTempDir FDir;
};

// Replaying the written file independently of the generator gives, after every frame, the
// screen that the generator says the player shows.
TEST_F(SampleRecordingTest, ReplayMatchesTheExpectedScreens) {
  const auto path = FDir / "s.kyv";
  std::vector<TPixels24> screens;
  const TSampleSummary summary = WriteSampleRecording(
      path, Small(11),
      [&](uint64_t number, const TSampleFrame& frame, uint64_t, const TPixels24& screen) {
        EXPECT_EQ(number, screens.size());
        EXPECT_EQ(frame.Header.DataSize, frame.Payload.size());
        screens.push_back(screen);
      });
  ASSERT_EQ(screens.size(), summary.Frames);

  TRecordingFile file(path);
  const TRecordingHead head = file.ReadHead();
  TFrameWalker walker(file, static_cast<uint64_t>(head.Header.IndexOffset));
  TWalkedRecord record;
  std::vector<uint8_t> payload;
  TPixels24 screen(200, 150);
  std::map<std::pair<int, int>, int> xorCount;
  uint32_t lastTime = 0;
  while (walker.Next(record)) {
    const TFrameHeader& h = record.Header;
    EXPECT_GE(h.Time, lastTime);
    lastTime = h.Time;
    walker.ReadPayload(payload);
    if (h.FrameType == ftKeyFrame || h.FrameType == ftCopyRect || h.FrameType == ftXorRect) {
      const TPixels24 part = DecodePayload(payload, h.Compression);
      ASSERT_LE(h.Left + part.Width, 200);
      ASSERT_LE(h.Top + part.Height, 150);
      if (h.FrameType == ftXorRect) {
        ++xorCount[{h.Left, h.Top}];
        for (int y = 0; y < part.Height; ++y)
          for (int x = 0; x < part.Width; ++x)
            screen.SetColour(h.Left + x, h.Top + y,
                             screen.Colour(h.Left + x, h.Top + y) ^ part.Colour(x, y));
      } else {
        screen.Paste(part, h.Left, h.Top);
      }
    }
    ASSERT_EQ(screen, screens[record.Number]) << "after record " << record.Number;
  }
  EXPECT_EQ(lastTime, 11000u);
  // The caret is drawn and undone: every place is inverted an even number of times.
  for (const auto& [place, count] : xorCount) EXPECT_EQ(count % 2, 0);
}

TEST_F(SampleRecordingTest, UsesEveryFrameTypeAndCompressionInSixSeconds) {
  const auto path = FDir / "s.kyv";
  std::set<std::pair<int, int>> cursorKinds;
  bool hidden = false, mouseOnRectangle = false, greyJpeg = false;
  int lastType = -1;
  const TSampleSummary summary = WriteSampleRecording(
      path, Small(6), [&](uint64_t, const TSampleFrame& frame, uint64_t, const TPixels24&) {
        const TFrameHeader& h = frame.Header;
        lastType = h.FrameType;
        if (h.FrameType == ftCursor && !frame.Payload.empty()) {
          const TPixels24 image = DecodePayload(frame.Payload, h.Compression);
          EXPECT_GT(image.Width, 0);
          cursorKinds.insert({h.Compression, image.Width});
        }
        if (h.FrameType == ftCursor && frame.Payload.empty() && h.Left == 0 && h.Top == 0)
          hidden = true;
        if (h.FrameType == ftCopyRect && (h.MouseX != 0 || h.MouseY != 0)) mouseOnRectangle = true;
        if (h.Compression == ckJpeg && h.FrameType == ftCopyRect) {
          const TPixels24 photo = DecodePayload(frame.Payload, ckJpeg);
          const uint8_t* p = photo.Pixel(photo.Width / 2, photo.Height / 2);
          greyJpeg = greyJpeg || (p[0] == p[1] && p[1] == p[2]);
        }
      });
  for (int type = 0; type < 5; ++type) EXPECT_GT(summary.ByType[type], 0u) << "type " << type;
  for (int kind = 0; kind < 5; ++kind)
    EXPECT_GT(summary.ByCompression[kind], 0u) << "compression " << kind;
  EXPECT_TRUE(cursorKinds.count({ckBitmap58, 1}));
  EXPECT_GE(cursorKinds.size(), 6u);
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(mouseOnRectangle);
  EXPECT_FALSE(greyJpeg);  // the first grey picture comes at 8 s
  EXPECT_EQ(lastType, ftMarker);
  EXPECT_EQ(summary.Duration, 6000u);
}

TEST_F(SampleRecordingTest, IndexNamesEveryKeyFrame) {
  const auto path = FDir / "s.kyv";
  TSampleOptions options = Small(12);
  options.Version = kKyvVersion0;
  options.KeyFrameInterval = 3000;
  std::vector<TIndexEntry> keyFrames;
  const TSampleSummary summary = WriteSampleRecording(
      path, options, [&](uint64_t, const TSampleFrame& frame, uint64_t offset, const TPixels24&) {
        if (frame.Header.FrameType == ftKeyFrame) keyFrames.push_back({frame.Header.Time, offset});
      });
  const TRecordingHead head = TRecordingFile(path).ReadHead();
  ASSERT_EQ(head.Index.size(), 5u);
  ASSERT_EQ(keyFrames.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(head.Index[i].Time, i * 3000);
    EXPECT_EQ(head.Index[i].Time, keyFrames[i].Time);
    EXPECT_EQ(head.Index[i].Offset, keyFrames[i].Offset);
  }
  EXPECT_EQ(summary.FileSize, std::filesystem::file_size(path));
  EXPECT_EQ(head.Header.IndexEntrySize(), 8u);
}

TEST_F(SampleRecordingTest, IsDeterministic) {
  WriteSampleRecording(FDir / "a.kyv", Small(5));
  WriteSampleRecording(FDir / "b.kyv", Small(5));
  EXPECT_EQ(ReadText(FDir / "a.kyv"), ReadText(FDir / "b.kyv"));
}

// One thumbnail every 5 s from 0, each the screen at its time, listed in "nails.xml".
TEST_F(SampleRecordingTest, WritesThumbnailsBesideTheRecording) {
  const auto path = FDir / "s.kyv";
  TSampleOptions options = Small(11);
  options.NailWidth = 100;
  std::map<uint32_t, TPixels24> screenAt;  // the screen after the last frame of each time
  const TSampleSummary summary = WriteSampleRecording(
      path, options, [&](uint64_t, const TSampleFrame& frame, uint64_t, const TPixels24& screen) {
        screenAt[frame.Header.Time] = screen;
      });
  EXPECT_EQ(ReadText(FDir / "nails.xml"), "0=0001.jpg\r\n5000=0002.jpg\r\n10000=0003.jpg\r\n");
  ASSERT_EQ(summary.Nails.size(), 3u);
  EXPECT_EQ(summary.NailsDir, FDir.Path());
  for (const auto& [time, name] : summary.Nails) {
    const std::string jpeg = ReadText(FDir / "nails" / name);
    ASSERT_GT(jpeg.size(), 2u);
    const std::vector<uint8_t> bytes(jpeg.begin(), jpeg.end());
    // Upright, so the decoder (first scanline at the bottom) shows it upside down.
    const TPixels24 nail = DecodePayload(bytes, ckJpeg);
    ASSERT_EQ(nail.Width, 100);
    ASSERT_EQ(nail.Height, 75);
    const TPixels24& screen = screenAt.at(time);
    long long difference = 0;
    for (int y = 0; y < 75; ++y)
      for (int x = 0; x < 100; ++x) {
        const uint8_t* n = nail.Pixel(x, 74 - y);
        const uint8_t* s = screen.Pixel(x * 2, y * 2);
        for (int c = 0; c < 3; ++c) difference += std::abs(n[c] - s[c]);
      }
    EXPECT_LT(difference / (100 * 75 * 3), 20) << "thumbnail at " << time;
  }

  options.NailInterval = 0;
  std::filesystem::remove_all(FDir / "nails");
  std::filesystem::remove(FDir / "nails.xml");
  EXPECT_TRUE(WriteSampleRecording(path, options).NailsDir.empty());
  EXPECT_FALSE(std::filesystem::exists(FDir / "nails.xml"));
}

TEST_F(SampleRecordingTest, GeneratorWorksWithoutAFile) {
  TSampleGenerator generator(Small(2));
  TSampleFrame frame;
  uint32_t time = 0;
  uint64_t frames = 0;
  while (generator.NextTime(time)) {
    ASSERT_TRUE(generator.Next(frame));
    EXPECT_EQ(frame.Header.Time, time);
    ++frames;
  }
  EXPECT_FALSE(generator.Next(frame));
  EXPECT_EQ(frames, generator.FrameCount());
  EXPECT_EQ(generator.Duration(), 2000u);
  EXPECT_GE(generator.Cursor().Shape, 0);
  EXPECT_EQ(generator.Screen().Width, 200);
}

TEST_F(SampleRecordingTest, RefusesScreensItCannotMake) {
  TSampleOptions options;
  options.Width = 63;
  EXPECT_THROW(TSampleGenerator{options}, EKyvError);
  options.Width = 4000;
  options.Height = 3000;  // a key frame would not fit the decoder's 10 MiB buffer
  EXPECT_THROW(TSampleGenerator{options}, EKyvError);
  options = Small(0);
  EXPECT_THROW(TSampleGenerator{options}, EKyvError);
  options = Small(1);
  options.KeyFrameInterval = 50;
  EXPECT_THROW(TSampleGenerator{options}, EKyvError);
}

TEST(SampleCursor, ShapesUseTheTransparentColourAndVariousSizes) {
  std::set<int> widths;
  for (int shape = 0; shape < TSampleGenerator::CursorShapeCount(); ++shape) {
    const TPixels24 image = TSampleGenerator::CursorImage(shape);
    widths.insert(image.Width);
    if (image.Width > 1) {
      EXPECT_EQ(image.Colour(image.Width - 1, image.Height - 1), kCursorTransparent);
    }
  }
  EXPECT_GE(widths.size(), 4u);
}

}  // namespace
}  // namespace kyv
