#pragma once

namespace kyv {

// A position in pixels.
struct TPoint {
  int X = 0;
  int Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

// Where the full-screen window shows its picture: reduced to fit the window when the recording is
// larger (keeping its proportions, whole percent, never enlarged) and centred.
struct TFullScreenLayout {
  int Zoom = 100;  // percent, at most 100
  int Left = 0;    // the picture's place in the window
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int ScreenWidth = 0;  // the recording's size
  int ScreenHeight = 0;

  // The recording pixel shown at (X, Y) of the picture, the inverse of the reduction (X and Y
  // times 100 / Zoom), held inside the recording so that a position past the picture's edge
  // (the pointer captured during a drag) still names a pixel of the station's screen.
  TPoint ToRecording(int X, int Y) const noexcept;
};

// Lays out a ScreenWidth x ScreenHeight recording in a WindowWidth x WindowHeight window. The
// arithmetic is 32-bit and checked: an overflow raises EKyvError and changes nothing. Returns
// false, with nothing changed, when the recording has no size.
bool LayoutFullScreen(int WindowWidth, int WindowHeight, int ScreenWidth, int ScreenHeight,
                      TFullScreenLayout& Layout);

}  // namespace kyv
