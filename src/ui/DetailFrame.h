#pragma once

#include <QScrollArea>
#include <functional>

#include "context/PlayContext.h"
#include "picture/BackBuffer.h"
#include "picture/DisplayMode.h"
#include "picture/PictureLayout.h"
#include "picture/Repainter.h"
#include "platform/Window.h"
#include "ui/PictureWidget.h"
#include "ui/PointerRelay.h"

namespace kyv {

// The detail view (frmDetail): the frame that carries the picture imgPic into which the control
// draws the recording, laid out for the display mode. Pointer events over the frame report frame
// coordinates, over the picture picture coordinates, both unscaled.
//
// UI thread, all of it.
class TDetailFrame : public QScrollArea {
 public:
  explicit TDetailFrame(QWidget* Parent = nullptr);
  ~TDetailFrame() override;

  // Takes the recording's size from the context's header and lays the picture out for Mode.
  void SetScreen(const TPlayContext& Context, TDisplayMode Mode);
  void SetScreen(int ScreenWidth, int ScreenHeight, TDisplayMode Mode);
  // Places and sizes the picture for the mode and gives it a blank (blue) bitmap of its size.
  // Nothing happens while the recording's size is unknown.
  void LayoutPicture();
  // UM_DIRTY: copies the changed part of the back buffer into the picture (scaled in dmAdaptive)
  // and repaints that part of it.
  void RepaintRect(TBackBuffer& Buffer, const TRect& Changed);
  // A marker frame was shown: the view shows nothing for it.
  void MarkerFound() noexcept {}

  // The control's window: a double click on the picture posts UM_ENTER_FULLSCREEN to it.
  void SetWindow(HWND Wnd) noexcept { FPicture->SetWindow(Wnd); }
  // Called after a resize has laid the picture out again: the whole picture needs repainting.
  void SetOnLayout(std::function<void()> OnLayout) { FOnLayout = std::move(OnLayout); }
  // The host's handlers; the frame and the picture share them.
  TPointerEvents& PointerEvents() noexcept { return FPointer; }
  // Background around the picture, 0x00BBGGRR.
  void SetBackground(uint32_t Colour);

  TDisplayMode Mode() const noexcept { return FMode; }
  int Zoom() const noexcept { return FLayout.Zoom; }
  int ScreenWidth() const noexcept { return FScreenWidth; }
  int ScreenHeight() const noexcept { return FScreenHeight; }
  const TPictureLayout& Layout() const noexcept { return FLayout; }
  TPictureWidget& Picture() noexcept { return *FPicture; }
  QWidget& Canvas() noexcept { return *FCanvas; }

 protected:
  void resizeEvent(QResizeEvent* Event) override;

 private:
  TPointerEvents FPointer;   // before the widgets, which hold references to it
  QWidget* FCanvas;          // owned by the scroll area
  TPictureWidget* FPicture;  // owned by the canvas
  TRepainter FRepainter;
  std::function<void()> FOnLayout;
  TPictureLayout FLayout;
  TDisplayMode FMode = dmAdaptive;
  int FScreenWidth = 0;
  int FScreenHeight = 0;
};

}  // namespace kyv
