#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "PictureTestSupport.h"
#include "picture/BackBuffer.h"
#include "picture/MouseArrow.h"
#include "platform/Errors.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

using test::MakeHeader;
using test::MakeScene;
using test::ToDib;

struct TFrame {
  TFrameHeader Header;
  std::vector<uint8_t> Image;
};

TFrame Frame(int16_t type, int left, int top, const TPixels24& picture, int bits = 24,
             int mouseX = 0, int mouseY = 0) {
  auto image = EncodeBitmapFile(picture, bits);
  const auto size = static_cast<uint32_t>(image.size());
  return {MakeHeader(type, left, top, size, mouseX, mouseY), std::move(image)};
}

void Apply(TBackBuffer& buffer, const TFrame& frame) {
  std::lock_guard lock(buffer);
  buffer.ApplyFrame(frame.Header, frame.Image.empty() ? nullptr : frame.Image.data(),
                    frame.Image.size());
}

TRect TakeDirty(TBackBuffer& buffer) {
  TRect r;
  buffer.GetDirtyRect(r, true);
  return r;
}

class BackBufferTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 120, kHeight = 90;

  void SetUp() override {
    FBuffer.SetSize(kWidth, kHeight);
    Apply(FBuffer, Frame(ftKeyFrame, 0, 0, MakeScene(kWidth, kHeight, 500, 1)));
    TakeDirty(FBuffer);
  }

  TBackBuffer FBuffer;
};

// Frame data that breaks a rule is the recording's fault, not a bug of ours: an EKyvError that
// is not an assertion failure, so the log keeps the two apart.
template <class F>
void ExpectBadData(F&& Refused) {
  try {
    Refused();
    ADD_FAILURE() << "the frame was accepted";
  } catch (const EAssertionFailed& e) {
    ADD_FAILURE() << "refused as an assertion failure: " << e.what();
  } catch (const EKyvError&) {
  }
}

TEST(BackBufferSizeTest, PictureIsTopDown24BitsWithPaddedRows) {
  TBackBuffer buffer;
  EXPECT_FALSE(buffer.Created());
  buffer.SetSize(1, 3);
  EXPECT_TRUE(buffer.Created());
  EXPECT_EQ(buffer.BytesPerLine(), 4);
  EXPECT_EQ(buffer.BytesPerPixel(), 3);
  EXPECT_EQ(buffer.Info().biHeight, -3);
  EXPECT_EQ(buffer.Info().biBitCount, 24);
  EXPECT_EQ(buffer.Info().biSizeImage, 12u);
  buffer.SetSize(5, 2);
  EXPECT_EQ(buffer.BytesPerLine(), 16);
  EXPECT_EQ(buffer.Width(), 5);
  EXPECT_EQ(buffer.Height(), 2);
  buffer.FreeBitmap();
  EXPECT_FALSE(buffer.Created());
  EXPECT_EQ(buffer.Mouse(), nullptr);
}

TEST(BackBufferSizeTest, NewSizeBringsBackTheBuiltInArrow) {
  TBackBuffer buffer;
  buffer.SetSize(100, 100);
  Apply(buffer, Frame(ftCursor, 5, 5, MakeScene(10, 10, 3, 2)));
  EXPECT_EQ(buffer.Mouse()->Width(), 10);
  buffer.SetSize(200, 100);
  EXPECT_EQ(buffer.Mouse()->Width(), kArrowSize);
  EXPECT_FALSE(buffer.Mouse()->Visible());
}

TEST(BackBufferSizeTest, WithoutPictureOnlyAKeyFrameHasEffect) {
  TBackBuffer buffer;
  const TPixels24 rect = MakeScene(10, 10, 4, 3);
  for (int16_t type : {ftXorRect, ftCopyRect, ftCursor, ftMarker}) {
    Apply(buffer, Frame(type, 1, 1, rect));
    EXPECT_FALSE(buffer.Created());
    EXPECT_EQ(TakeDirty(buffer), TRect{});
  }
  // The picture is 24 bits; a palette key frame cannot describe it.
  ExpectBadData([&] { Apply(buffer, Frame(ftKeyFrame, 0, 0, rect, 8)); });
  EXPECT_FALSE(buffer.Created());

  const TPixels24 screen = MakeScene(64, 48, 100, 4);
  Apply(buffer, Frame(ftKeyFrame, 0, 0, screen, 32));
  ASSERT_TRUE(buffer.Created());
  EXPECT_EQ(buffer.Picture(), ToDib(screen));
  EXPECT_EQ(TakeDirty(buffer), (TRect{0, 0, 64, 48}));
}

TEST_F(BackBufferTest, XorTwiceRestoresThePictureAlsoOverTheCursor) {
  Apply(FBuffer, Frame(ftCopyRect, 0, 0, MakeScene(2, 2, 2, 5), 24, 30, 20));
  ASSERT_TRUE(FBuffer.Mouse()->Visible());
  const TDib before = FBuffer.Picture();
  const TFrame xorFrame = Frame(ftXorRect, 10, 10, MakeScene(60, 40, 300, 6));
  Apply(FBuffer, xorFrame);
  EXPECT_NE(FBuffer.Picture(), before);
  Apply(FBuffer, xorFrame);
  EXPECT_EQ(FBuffer.Picture(), before);
  EXPECT_TRUE(FBuffer.Mouse()->Visible());
  EXPECT_EQ(FBuffer.Mouse()->X(), 30);

  // Without the cursor in the way too, and for a rectangle hanging off the picture.
  const TFrame edge = Frame(ftXorRect, 100, 80, MakeScene(40, 30, 300, 7));
  Apply(FBuffer, edge);
  Apply(FBuffer, edge);
  EXPECT_EQ(FBuffer.Picture(), before);
}

TEST_F(BackBufferTest, RectanglesAreClippedAndSoIsTheDirtyRectangle) {
  TDib expected = FBuffer.Picture();
  const TPixels24 rect = MakeScene(40, 30, 200, 8);
  expected.CopyRect(100, 75, ToDib(rect), 0, 0, 40, 30);
  Apply(FBuffer, Frame(ftCopyRect, 100, 75, rect));
  EXPECT_EQ(FBuffer.Picture(), expected);
  EXPECT_EQ(TakeDirty(FBuffer), (TRect{100, 75, kWidth, kHeight}));

  Apply(FBuffer, Frame(ftCopyRect, 500, 10, rect));  // wholly outside
  EXPECT_EQ(FBuffer.Picture(), expected);
  EXPECT_EQ(TakeDirty(FBuffer), TRect{});
}

// Every pixel that a frame changes lies inside the dirty rectangle taken after it, and the
// dirty rectangle lies inside the picture.
TEST_F(BackBufferTest, DirtyRectangleCoversEveryChange) {
  std::vector<TFrame> frames;
  frames.push_back(Frame(ftCopyRect, 5, 5, MakeScene(20, 10, 30, 10), 24, 10, 12));
  frames.push_back(Frame(ftXorRect, 15, 15, MakeScene(30, 30, 30, 11)));  // over the cursor
  frames.push_back(Frame(ftCopyRect, 110, 80, MakeScene(30, 30, 30, 12), 8, 100, 70));
  frames.push_back({MakeHeader(ftCursor, 119, 89, 0), {}});                // to the corner
  frames.push_back(Frame(ftCursor, 50, 40, MakeScene(16, 24, 5, 13), 4));  // new shape, moved
  frames.push_back(Frame(ftCursor, 50, 40, MakeScene(16, 24, 2, 14), 1));  // same size
  frames.push_back(Frame(ftKeyFrame, 0, 0, MakeScene(kWidth, kHeight, 90, 15), 16, 3, 4));
  frames.push_back({MakeHeader(ftCursor, 0, 0, 0), {}});  // hides it
  frames.push_back(Frame(ftXorRect, 0, 0, MakeScene(8, 8, 9, 16), 32, 60, 60));
  frames.push_back(Frame(ftCursor, 60, 60, MakeScene(50, 50, 5, 17), 24));  // bigger shape
  frames.push_back({MakeHeader(ftCursor, 61, 61, 0), {}});
  for (size_t i = 0; i < frames.size(); ++i) {
    const TDib before = FBuffer.Picture();
    Apply(FBuffer, frames[i]);
    const TRect dirty = TakeDirty(FBuffer);
    const TDib& after = FBuffer.Picture();
    bool changed = false;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (before.Colour(x, y) != after.Colour(x, y)) {
          changed = true;
          ASSERT_TRUE(dirty.Contains(x, y)) << "frame " << i << " pixel " << x << "," << y;
        }
    EXPECT_TRUE(changed) << "frame " << i;
    EXPECT_EQ(IntersectRect(dirty, {0, 0, kWidth, kHeight}), dirty) << "frame " << i;
  }
}

TEST_F(BackBufferTest, CursorFramesMoveOnlyInsideThePicture) {
  Apply(FBuffer, {MakeHeader(ftCursor, kWidth, 10, 0), {}});
  EXPECT_FALSE(FBuffer.Mouse()->Visible());
  EXPECT_EQ(TakeDirty(FBuffer), TRect{});
  Apply(FBuffer, {MakeHeader(ftCursor, kWidth - 1, 10, 0), {}});
  EXPECT_TRUE(FBuffer.Mouse()->Visible());
  EXPECT_EQ(FBuffer.Mouse()->X(), kWidth - 1);
  // Old place (0, 0) and new place, clipped.
  EXPECT_EQ(TakeDirty(FBuffer), (TRect{0, 0, kWidth, 54}));
  Apply(FBuffer, {MakeHeader(ftCursor, 3, kHeight, 0), {}});
  EXPECT_EQ(FBuffer.Mouse()->X(), kWidth - 1);
}

TEST_F(BackBufferTest, CursorFrameAtTheOriginHidesEvenWithANewImage) {
  Apply(FBuffer, {MakeHeader(ftCursor, 40, 30, 0), {}});
  ASSERT_TRUE(FBuffer.Mouse()->Visible());
  Apply(FBuffer, Frame(ftCursor, 0, 0, MakeScene(8, 8, 3, 18)));
  EXPECT_FALSE(FBuffer.Mouse()->Visible());
  EXPECT_EQ(FBuffer.Mouse()->Width(), 8);
  EXPECT_EQ(FBuffer.Mouse()->X(), 40);
}

TEST_F(BackBufferTest, KeyFrameWithoutMousePositionLeavesTheCursor) {
  Apply(FBuffer, {MakeHeader(ftCursor, 40, 30, 0), {}});
  const TPixels24 screen = MakeScene(kWidth, kHeight, 90, 19);
  Apply(FBuffer, Frame(ftKeyFrame, 0, 0, screen));
  EXPECT_TRUE(FBuffer.Mouse()->Visible());
  EXPECT_EQ(FBuffer.Mouse()->X(), 40);
  EXPECT_EQ(FBuffer.Mouse()->Y(), 30);
  // Drawn over the new screen, not over the old one.
  TDib expected = ToDib(screen);
  TVirtualMouse mouse(expected);
  mouse.MoveTo(40, 30);
  EXPECT_EQ(FBuffer.Picture(), expected);
}

TEST_F(BackBufferTest, DirtyRectangleIsEmptyAfterReset) {
  Apply(FBuffer, Frame(ftCopyRect, 1, 2, MakeScene(3, 4, 5, 20)));
  TRect r;
  FBuffer.GetDirtyRect(r, false);
  EXPECT_EQ(r, (TRect{1, 2, 4, 6}));
  FBuffer.GetDirtyRect(r, true);
  EXPECT_EQ(r, (TRect{1, 2, 4, 6}));
  FBuffer.GetDirtyRect(r, true);
  EXPECT_EQ(r, TRect{});
}

TEST_F(BackBufferTest, RefusedFramesLeaveThePictureAsItWas) {
  Apply(FBuffer, {MakeHeader(ftCursor, 20, 20, 0), {}});
  TakeDirty(FBuffer);
  const TDib before = FBuffer.Picture();
  const TPixels24 rect = MakeScene(30, 30, 9, 21);

  ExpectBadData([&] { Apply(FBuffer, Frame(ftCopyRect, 10, 10, rect, 4)); });
  ExpectBadData([&] { Apply(FBuffer, Frame(ftXorRect, 10, 10, rect, 4)); });
  ExpectBadData([&] { Apply(FBuffer, Frame(ftKeyFrame, 0, 0, rect, 4)); });
  // A key frame is the whole screen: one of another size would leave part of the picture stale.
  ExpectBadData([&] { Apply(FBuffer, Frame(ftKeyFrame, 0, 0, rect, 24)); });
  for (int16_t type : {ftXorRect, ftKeyFrame, ftCopyRect}) {
    SCOPED_TRACE(type);
    ExpectBadData([&] { Apply(FBuffer, {MakeHeader(type, 0, 0, 0), {}}); });
  }
  ExpectBadData([&] { Apply(FBuffer, {MakeHeader(ftCursor, 0, 0, 100), {}}); });

  TFrame cut = Frame(ftCopyRect, 10, 10, rect, 24, 50, 50);
  cut.Image.resize(cut.Image.size() - 1);  // rows no longer fit
  ExpectBadData([&] { Apply(FBuffer, cut); });
  TFrame lying = Frame(ftXorRect, 10, 10, rect, 8);
  lying.Image[22] = 0x7F;  // biHeight: far more rows than there are
  ExpectBadData([&] { Apply(FBuffer, lying); });
  TFrame badCursor = Frame(ftCursor, 50, 50, rect);
  badCursor.Image[28] = 2;  // biBitCount
  ExpectBadData([&] { Apply(FBuffer, badCursor); });

  EXPECT_EQ(FBuffer.Picture(), before);
  EXPECT_TRUE(FBuffer.Mouse()->Visible());
  EXPECT_EQ(FBuffer.Mouse()->X(), 20);
  EXPECT_EQ(FBuffer.Mouse()->Width(), kArrowSize);
  EXPECT_EQ(TakeDirty(FBuffer), TRect{});
}

TEST_F(BackBufferTest, UnknownFrameTypesAndMarkersChangeNothing) {
  const TDib before = FBuffer.Picture();
  for (int16_t type : {int16_t{ftMarker}, int16_t{5}, int16_t{-1}, int16_t{0x7FFF}}) {
    TFrame frame = Frame(ftCopyRect, 0, 0, MakeScene(20, 20, 5, 22), 24, 9, 9);
    frame.Header.FrameType = type;
    Apply(FBuffer, frame);
    EXPECT_EQ(FBuffer.Picture(), before) << type;
    EXPECT_EQ(TakeDirty(FBuffer), TRect{}) << type;
  }
}

}  // namespace
}  // namespace kyv
