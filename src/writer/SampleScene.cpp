#include "writer/SampleScene.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "platform/Errors.h"

namespace kyv {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kTitle = 0x800000;       // navy
constexpr uint32_t kMoverTitle = 0x008000;  // green
constexpr uint32_t kMoverBody = 0xE0F0FF;   // a warm cream

// A 5 x 7 pattern per character: made up, but fixed and different for each character, which is
// all that typing needs to look like typing.
bool GlyphBit(char c, int x, int y) {
  if (c == ' ' || x < 0 || x >= 5 || y < 0 || y >= 7) return false;
  uint32_t h = static_cast<uint8_t>(c) * 2654435761u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  // Mirror the left half onto the right so that the glyphs look like letters, not noise.
  const int column = x < 3 ? x : 4 - x;
  return ((h >> (y * 3 + column)) & 1) != 0 || (y == 6 && column == 1 && (h & 1));
}

// A window frame: grey border, title bar, and whether (x, y) falls on them.
bool FrameColour(const TSampleRect& window, int titleHeight, uint32_t title, int x, int y,
                 uint32_t& colour) {
  if (x == window.Left || y == window.Top) {
    colour = kWhite;
    return true;
  }
  if (x == window.Right() - 1 || y == window.Bottom() - 1) {
    colour = kShadow;
    return true;
  }
  if (x == window.Left + 1 || y == window.Top + 1 || x == window.Right() - 2 ||
      y == window.Bottom() - 2) {
    colour = kFace;
    return true;
  }
  if (y < window.Top + 2 + titleHeight) {
    // A close box at the right end of the title bar.
    const int boxSize = std::max(titleHeight - 2, 1);
    const bool box = x >= window.Right() - 3 - boxSize && x < window.Right() - 3 &&
                     y > window.Top + 2 && y <= window.Top + 2 + boxSize;
    colour = box ? kFace : title;
    return true;
  }
  return false;
}

int TitleHeight(int screenHeight) {
  return std::clamp(screenHeight / 40, 3, 18);
}

}  // namespace

TSampleRect TSampleRect::Union(const TSampleRect& other) const {
  const int left = std::min(Left, other.Left), top = std::min(Top, other.Top);
  return {left, top, std::max(Right(), other.Right()) - left,
          std::max(Bottom(), other.Bottom()) - top};
}

TSampleRect TSampleRect::Clip(int width, int height) const {
  const int left = std::clamp(Left, 0, width), top = std::clamp(Top, 0, height);
  const int right = std::clamp(Right(), 0, width), bottom = std::clamp(Bottom(), 0, height);
  return {left, top, std::max(right - left, 0), std::max(bottom - top, 0)};
}

TSampleScene::TSampleScene(int width, int height)
    : FWidth(width), FHeight(height), FTaskBarHeight(std::max(height / 32, 11)) {
  KYV_ASSERT(width >= 64 && height >= 48);
  const int title = TitleHeight(height);
  FEditor = {width / 16, height / 12, width / 2, height / 2};
  FEditorBody = {FEditor.Left + 2, FEditor.Top + 2 + title, FEditor.Width - 4,
                 FEditor.Height - 4 - title};
  FEditorText = TPixels24(FEditorBody.Width, FEditorBody.Height, kWhite);
  FColumns = (FEditorBody.Width - 4) / kCellWidth;
  FRows = (FEditorBody.Height - 4) / kCellHeight;
  FPhoto = {width * 5 / 8, height / 2, width / 4, height / 4};
  FMover = {width / 2, height / 3, std::max(width / 4, 16), std::max(height / 4, 12)};
  FMoverDx = width / 64 + 1;
  FMoverDy = height / 96 + 1;
  const int clockWidth = std::min(5 * kCellWidth + 2, width / 4);
  FClock = {width - clockWidth - 2, height - FTaskBarHeight + 1, clockWidth, FTaskBarHeight - 2};
}

uint32_t TSampleScene::PhotoColour(int x, int y) const {
  const double u = static_cast<double>(x - FPhoto.Left) / FPhoto.Width;
  const double v = static_cast<double>(y - FPhoto.Top) / FPhoto.Height;
  const double phase = FPhotoPhase * 0.7;
  const auto channel = [](double value) {
    return static_cast<uint32_t>(std::lround(127.5 + 127.5 * value)) & 0xFF;
  };
  const uint32_t r = channel(std::sin(6.0 * u + phase));
  const uint32_t g = channel(std::cos(5.0 * v - phase));
  const uint32_t b = channel(std::sin(4.0 * (u + v) + 2.0 * phase));
  return r | (g << 8) | (b << 16);
}

uint32_t TSampleScene::Colour(int x, int y) const {
  uint32_t colour = 0;
  const int title = TitleHeight(FHeight);
  if (FMover.Contains(x, y)) {
    if (FrameColour(FMover, title, kMoverTitle, x, y, colour)) return colour;
    // Stripes that move with the window, so that its content is not one flat colour.
    return ((y - FMover.Top) / 6) % 2 ? kMoverBody : 0xC8E8FF;
  }
  if (FPhoto.Contains(x, y)) return PhotoColour(x, y);
  if (FEditor.Contains(x, y)) {
    if (FEditorBody.Contains(x, y))
      return FEditorText.Colour(x - FEditorBody.Left, y - FEditorBody.Top);
    FrameColour(FEditor, title, kTitle, x, y, colour);
    return colour;
  }
  if (y >= FHeight - FTaskBarHeight) {
    if (y == FHeight - FTaskBarHeight) return kWhite;
    if (FClock.Contains(x, y)) {
      const int column = (x - FClock.Left - 1) / kCellWidth;
      const int gx = (x - FClock.Left - 1) % kCellWidth, gy = y - FClock.Top - 1;
      const uint32_t minutes = FClockSeconds / 60 % 60, seconds = FClockSeconds % 60;
      const char text[6] = {
          static_cast<char>('0' + minutes / 10), static_cast<char>('0' + minutes % 10), ':',
          static_cast<char>('0' + seconds / 10), static_cast<char>('0' + seconds % 10), 0};
      const bool ink = x > FClock.Left && column < 5 && GlyphBit(text[column], gx, gy);
      return ink ? kBlack : 0xD8D8D8;
    }
    return kFace;
  }
  // Desktop: a vertical teal gradient crossed by faint diagonal bands.
  const uint32_t r = 0x20 + (((x + y) / 32) % 2) * 8;
  const uint32_t g = 0x60 + static_cast<uint32_t>(y * 0x40 / FHeight);
  return r | (g << 8) | (0x80u << 16);
}

TPixels24 TSampleScene::Render(const TSampleRect& rect) const {
  KYV_ASSERT(rect.Left >= 0 && rect.Top >= 0 && rect.Right() <= FWidth && rect.Bottom() <= FHeight);
  TPixels24 picture(rect.Width, rect.Height);
  for (int y = 0; y < rect.Height; ++y)
    for (int x = 0; x < rect.Width; ++x)
      picture.SetColour(x, y, Colour(rect.Left + x, rect.Top + y));
  if (FCaretOn) {
    // The caret is drawn by inverting what lies under it.
    const TSampleRect caret = CaretRect();
    for (int y = std::max(caret.Top, rect.Top); y < std::min(caret.Bottom(), rect.Bottom()); ++y)
      for (int x = std::max(caret.Left, rect.Left); x < std::min(caret.Right(), rect.Right());
           ++x) {
        uint8_t* p = picture.Pixel(x - rect.Left, y - rect.Top);
        for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(~p[i]);
      }
  }
  return picture;
}

void TSampleScene::DrawGlyph(TPixels24& target, int left, int top, char c, uint32_t colour) const {
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 5; ++x)
      if (GlyphBit(c, x, y)) target.SetColour(left + x, top + y, colour);
}

TSampleRect TSampleScene::ClearEditor() {
  FEditorText.Fill(0, 0, FEditorText.Width, FEditorText.Height, kWhite);
  FRow = 0;
  FColumn = 0;
  return FEditorBody;
}

TSampleRect TSampleScene::Type(char c) {
  KYV_ASSERT(CanType() && !EditorFull());
  const int left = 2 + FColumn * kCellWidth, top = 2 + FRow * kCellHeight;
  FEditorText.Fill(left, top, kCellWidth, kCellHeight, kWhite);
  DrawGlyph(FEditorText, left, top + 1, c, kBlack);
  if (++FColumn >= FColumns) {
    FColumn = 0;
    ++FRow;
  }
  return {FEditorBody.Left + left, FEditorBody.Top + top, kCellWidth, kCellHeight};
}

TSampleRect TSampleScene::CaretRect() const {
  const int row = std::min(FRow, std::max(FRows - 1, 0));
  const int column = FRow >= FRows ? 0 : FColumn;
  return {FEditorBody.Left + 2 + column * kCellWidth, FEditorBody.Top + 2 + row * kCellHeight, 1,
          std::min(kCellHeight, FEditorBody.Height)};
}

TSampleRect TSampleScene::MoveWindow() {
  const TSampleRect before = FMover;
  const int maxLeft = FWidth - FMover.Width;
  const int maxTop = FHeight - FTaskBarHeight - FMover.Height;
  FMover.Left += FMoverDx;
  FMover.Top += FMoverDy;
  if (FMover.Left < 0 || FMover.Left > maxLeft) {
    FMoverDx = -FMoverDx;
    FMover.Left = std::clamp(FMover.Left, 0, std::max(maxLeft, 0));
  }
  if (FMover.Top < 0 || FMover.Top > maxTop) {
    FMoverDy = -FMoverDy;
    FMover.Top = std::clamp(FMover.Top, 0, std::max(maxTop, 0));
  }
  return before.Union(FMover).Clip(FWidth, FHeight);
}

int ChooseBitCount(const TPixels24& picture, int preferred) {
  std::unordered_set<uint32_t> colours;
  for (int y = 0; y < picture.Height && colours.size() <= 256; ++y)
    for (int x = 0; x < picture.Width && colours.size() <= 256; ++x)
      colours.insert(picture.Colour(x, y));
  if (preferred <= 1 && colours.size() <= 2) return 1;
  if (preferred <= 8 && colours.size() <= 256) return 8;
  return 24;
}

}  // namespace kyv
