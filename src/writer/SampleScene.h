#pragma once

#include <cstdint>

#include "writer/Pixels24.h"

namespace kyv {

// The colour that a cursor image leaves transparent: RGB(255, 0, 0) as a 0x00BBGGRR value.
inline constexpr uint32_t kCursorTransparent = 0x0000FF;

// A rectangle of the sample's screen.
struct TSampleRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;

  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool Contains(int x, int y) const { return x >= Left && x < Right() && y >= Top && y < Bottom(); }
  TSampleRect Union(const TSampleRect& other) const;
  // The part inside (0, 0, width, height).
  TSampleRect Clip(int width, int height) const;
};

// The desktop that the sample recording shows, as it should look: a desktop, a task bar with a
// clock, an editor that is typed into, a caret drawn by inverting, a window that moves and a
// picture window. Rectangles are cut from it with Render. Single-threaded.
class TSampleScene {
 public:
  static constexpr int kCellWidth = 6;  // a character cell of the editor and the clock
  static constexpr int kCellHeight = 9;

  TSampleScene(int width, int height);  // at least 64 x 48

  // The scene's pixels inside rect, which must lie inside the screen.
  TPixels24 Render(const TSampleRect& rect) const;

  // Typing: Type draws the next character at the caret and returns its cell.
  bool CanType() const { return FColumns > 0 && FRows > 0; }
  bool EditorFull() const { return FRow >= FRows; }
  TSampleRect Type(char c);
  TSampleRect ClearEditor();  // returns the editor's body
  TSampleRect CaretRect() const;
  bool CaretOn() const { return FCaretOn; }
  void SetCaretOn(bool on) { FCaretOn = on; }

  // Moves the moving window one step and returns the area it changed.
  TSampleRect MoveWindow();

  const TSampleRect& Photo() const { return FPhoto; }
  void SetPhotoPhase(int phase) { FPhotoPhase = phase; }
  const TSampleRect& Clock() const { return FClock; }
  void SetClock(uint32_t seconds) { FClockSeconds = seconds; }

 private:
  uint32_t Colour(int x, int y) const;
  uint32_t PhotoColour(int x, int y) const;
  void DrawGlyph(TPixels24& target, int left, int top, char c, uint32_t colour) const;

  int FWidth;
  int FHeight;
  int FTaskBarHeight;
  TSampleRect FEditor;
  TSampleRect FEditorBody;
  TPixels24 FEditorText;
  int FColumns = 0;
  int FRows = 0;
  int FRow = 0;
  int FColumn = 0;
  bool FCaretOn = false;
  TSampleRect FPhoto;
  int FPhotoPhase = 0;
  TSampleRect FMover;
  int FMoverDx = 1;
  int FMoverDy = 1;
  TSampleRect FClock;
  uint32_t FClockSeconds = 0;
};

// The smallest of 1, 8 and 24 bits per pixel, not below preferred, that holds the picture's
// colours.
int ChooseBitCount(const TPixels24& picture, int preferred);

}  // namespace kyv
