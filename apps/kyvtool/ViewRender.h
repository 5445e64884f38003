#pragma once

#include "picture/BackBuffer.h"
#include "picture/Dib.h"
#include "picture/DisplayMode.h"
#include "picture/PictureLayout.h"

namespace kyv::tool {

// The detail view without a toolkit: lays a ScreenWidth x ScreenHeight recording out in a
// ViewWidth x ViewHeight view for Mode and repaints the whole of Buffer into the picture's own
// bitmap, as the view does after a layout. Layout receives the placement. Raises EKyvError when
// the recording has no size or the view is too small to show any of it.
TDib RenderView(TBackBuffer& Buffer, int ScreenWidth, int ScreenHeight, int ViewWidth,
                int ViewHeight, TDisplayMode Mode, TPictureLayout& Layout);

}  // namespace kyv::tool
