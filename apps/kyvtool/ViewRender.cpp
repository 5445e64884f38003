#include "ViewRender.h"

#include <string>

#include "picture/Repainter.h"
#include "platform/Errors.h"

namespace kyv::tool {

TDib RenderView(TBackBuffer& Buffer, int ScreenWidth, int ScreenHeight, int ViewWidth,
                int ViewHeight, TDisplayMode Mode, TPictureLayout& Layout) {
  Layout = {};
  if (!LayoutPicture(ViewWidth, ViewHeight, ScreenWidth, ScreenHeight, Mode, Layout))
    throw EKyvError("The recording has no picture size");
  if (Layout.Width <= 0 || Layout.Height <= 0)
    throw EKyvError("A view of " + std::to_string(ViewWidth) + " x " + std::to_string(ViewHeight) +
                    " is too small to show a " + std::to_string(ScreenWidth) + " x " +
                    std::to_string(ScreenHeight) + " recording");
  TDib picture(Layout.Width, Layout.Height);
  picture.Fill(kBlankPictureColour);
  TRepainter repainter;
  repainter.RepaintRect(Buffer, picture, {0, 0, ScreenWidth, ScreenHeight}, Mode, Layout.Zoom);
  return picture;
}

}  // namespace kyv::tool
