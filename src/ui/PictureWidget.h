#pragma once

#include <QWidget>

#include "picture/Dib.h"
#include "platform/Window.h"
#include "ui/PointerRelay.h"

namespace kyv {

// The detail view's picture (imgPic): a widget that shows its own 24-bit bitmap of exactly its
// size. Repaints write into Bitmap() and then call update() with the changed part; a paint
// converts only the part it was asked for.
//
// UI thread.
class TPictureWidget : public QWidget {
 public:
  TPictureWidget(const TPointerEvents& Events, QWidget* Parent);

  // Replaces the bitmap by a blank one of the widget's size, filled with Colour (0x00BBGGRR);
  // a widget without area keeps none.
  void RecreateBitmap(uint32_t Colour);
  TDib& Bitmap() noexcept { return FBitmap; }
  const TDib& Bitmap() const noexcept { return FBitmap; }
  // The control's window, which a double click asks for full screen.
  void SetWindow(HWND Wnd) noexcept { FWnd = Wnd; }

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  TDib FBitmap;
  TPointerRelay FRelay;
  HWND FWnd = 0;
};

}  // namespace kyv
