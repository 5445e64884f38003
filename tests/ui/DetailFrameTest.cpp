#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <mutex>
#include <string>
#include <vector>

#include "context/UserMessages.h"
#include "picture/BackBuffer.h"
#include "picture/StretchBilinear.h"
#include "platform/Window.h"
#include "ui/DetailFrame.h"
#include "writer/BitmapWriter.h"
#include "writer/Pixels24.h"

namespace kyv {
namespace {

struct TLayoutCase {
  int W, H;
  TDisplayMode Mode;
  QRect Picture;
  int Zoom;
  bool HorzBar, VertBar;
};

TEST(DetailFrame, LaysTheRecordingOutPerMode) {
  const TLayoutCase cases[] = {
      {512, 600, dmAdaptive, {0, 108, 512, 384}, 50, false, false},
      {2000, 2000, dmAdaptive, {488, 616, 1024, 768}, 100, false, false},
      {400, 300, dmAdaptive, {0, 0, 399, 299}, 39, false, false},
      {400, 300, dmOriginal, {0, 0, 1024, 768}, 1, true, true},
      {2000, 300, dmOriginal, {488, 0, 1024, 768}, 1, false, true},
  };
  for (const TLayoutCase& c : cases) {
    TDetailFrame frame;
    frame.resize(c.W, c.H);
    frame.SetScreen(1024, 768, c.Mode);
    const std::string name = std::to_string(c.W) + "x" + std::to_string(c.H);
    EXPECT_EQ(frame.Picture().geometry(), c.Picture) << name;
    EXPECT_EQ(frame.Zoom(), c.Zoom) << name;
    EXPECT_EQ(frame.horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, c.HorzBar) << name;
    EXPECT_EQ(frame.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, c.VertBar) << name;
    const TDib& bitmap = frame.Picture().Bitmap();
    ASSERT_EQ(bitmap.Width(), c.Picture.width()) << name;
    ASSERT_EQ(bitmap.Height(), c.Picture.height()) << name;
    EXPECT_EQ(bitmap.Colour(0, 0), kBlankPictureColour);
    EXPECT_EQ(bitmap.Colour(bitmap.Width() - 1, bitmap.Height() - 1), kBlankPictureColour);
  }
}

TEST(DetailFrame, FullScreenKeepsThePlaceAndResizeAsksForARepaint) {
  TDetailFrame frame;
  frame.resize(512, 600);
  frame.SetScreen(1024, 768, dmAdaptive);
  int layouts = 0;
  frame.SetOnLayout([&] { ++layouts; });
  frame.Picture().Bitmap().Fill(0);
  frame.SetScreen(1024, 768, dmFull);
  EXPECT_EQ(frame.Picture().geometry(), QRect(0, 108, 512, 384));
  EXPECT_EQ(frame.Picture().Bitmap().Colour(5, 5), kBlankPictureColour);  // blank again

  frame.SetScreen(1024, 768, dmAdaptive);
  frame.show();
  frame.resize(400, 300);
  QApplication::processEvents();
  EXPECT_GE(layouts, 1);
  EXPECT_EQ(frame.Picture().geometry(), QRect(0, 0, 399, 299));
  EXPECT_EQ(frame.Zoom(), 39);

  // A recording without a size leaves everything as it is.
  frame.SetScreen(0, 0, dmOriginal);
  EXPECT_EQ(frame.Picture().geometry(), QRect(0, 0, 399, 299));
}

TPixels24 Scene(int w, int h) {
  TPixels24 p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.SetColour(
          x, y,
          static_cast<uint32_t>((x * 7) & 0xFF) | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF) << 16);
  return p;
}

void FillBuffer(TBackBuffer& buffer, int w, int h) {
  buffer.SetSize(w, h);
  const std::vector<uint8_t> image = EncodeBitmapFile(Scene(w, h), 24);
  TFrameHeader header{};
  header.FrameType = ftKeyFrame;
  header.DataSize = static_cast<uint32_t>(image.size());
  std::lock_guard lock(buffer);
  buffer.ApplyFrame(header, image.data(), image.size());
}

TEST(DetailFrame, RepaintScalesIntoThePictureAndPaintsIt) {
  TBackBuffer buffer;
  FillBuffer(buffer, 1024, 768);
  TDetailFrame frame;
  frame.resize(512, 600);
  frame.SetScreen(1024, 768, dmAdaptive);
  frame.RepaintRect(buffer, {150, 120, 160, 130});
  TDib expected(512, 384);
  expected.Fill(kBlankPictureColour);
  TStretchScratch scratch;
  StretchBilinear(buffer.Bits(), buffer.BytesPerLine(), 1024, 768, {100, 100, 200, 200}, expected,
                  {50, 50, 100, 100}, scratch);
  EXPECT_TRUE(frame.Picture().Bitmap() == expected);

  // What the widget paints is its bitmap, colour for colour.
  frame.RepaintRect(buffer, {0, 0, 1024, 768});
  const QImage painted = frame.Picture().grab().toImage();
  const TDib& bitmap = frame.Picture().Bitmap();
  for (const auto& [x, y] : {std::pair{0, 0}, {511, 383}, {77, 300}, {300, 77}}) {
    const uint32_t c = bitmap.Colour(x, y);
    EXPECT_EQ(painted.pixelColor(x, y), QColor(c & 0xFF, (c >> 8) & 0xFF, c >> 16))
        << x << "," << y;
  }
}

struct TPointerLog {
  std::vector<std::string> Lines;
  void Attach(TPointerEvents& e) {
    e.MouseDown = [this](int b, int x, int y) { Add("down", b, x, y); };
    e.MouseUp = [this](int b, int x, int y) { Add("up", b, x, y); };
    e.Click = [this] { Lines.push_back("click"); };
  }
  void Add(const char* what, int b, int x, int y) {
    Lines.push_back(std::string(what) + " " + std::to_string(b) + " " + std::to_string(x) + "," +
                    std::to_string(y));
  }
};

TEST(DetailFrame, PointerEventsCarryButtonAndWidgetCoordinates) {
  TDetailFrame frame;
  frame.resize(512, 600);
  frame.SetScreen(1024, 768, dmAdaptive);
  frame.show();
  TPointerLog log;
  log.Attach(frame.PointerEvents());
  QTest::mousePress(&frame.Picture(), Qt::LeftButton, {}, {5, 6});
  QTest::mouseRelease(&frame.Picture(), Qt::LeftButton, {}, {5, 6});
  QTest::mousePress(&frame.Canvas(), Qt::RightButton, {}, {20, 30});
  QTest::mouseRelease(&frame.Canvas(), Qt::RightButton, {}, {20, 30});
  QTest::mousePress(&frame.Canvas(), Qt::MiddleButton, {}, {21, 31});
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"down 0 5,6", "up 0 5,6", "click", "down 1 20,30",
                                                 "up 1 20,30", "down 2 21,31"}));

  // Scrolled, the area around the picture still reports the frame's own coordinates.
  frame.SetScreen(1024, 768, dmOriginal);
  frame.verticalScrollBar()->setValue(50);
  log.Lines.clear();
  QTest::mousePress(&frame.Canvas(), Qt::LeftButton, {}, {20, 80});
  QTest::mouseRelease(&frame.Canvas(), Qt::LeftButton, {}, {20, 80});
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"down 0 20,30", "up 0 20,30", "click"}));
}

TEST(DetailFrame, DoubleClickOnThePictureAsksForFullScreen) {
  TWindow window;
  TDetailFrame frame;
  frame.resize(512, 600);
  frame.SetScreen(1024, 768, dmAdaptive);
  frame.SetWindow(window.Handle());
  frame.show();
  QTest::mouseDClick(&frame.Canvas(), Qt::LeftButton, {}, {3, 3});
  EXPECT_EQ(window.Queue().Count(), 0u);
  QTest::mouseDClick(&frame.Picture(), Qt::LeftButton, {}, {3, 3});
  TMessage message;
  ASSERT_TRUE(window.Queue().Peek(message));
  EXPECT_EQ(message.Msg, UM_ENTER_FULLSCREEN);
  EXPECT_EQ(message.WParam, 0u);
  EXPECT_EQ(message.LParam, 0);
  EXPECT_FALSE(window.Queue().Peek(message));
}

}  // namespace
}  // namespace kyv
