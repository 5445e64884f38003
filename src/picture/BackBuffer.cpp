#include "picture/BackBuffer.h"

#include <climits>
#include <string>

#include "picture/FrameRules.h"
#include "platform/Errors.h"

namespace kyv {

namespace {

int ClampToInt(int64_t v) noexcept {
  return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

}  // namespace

void TBackBuffer::SetSize(int Width, int Height) {
  if (Created()) FreeBitmap();
  TBitmapInfoHeader info{};
  info.biSize = TBitmapInfoHeader::kSize;
  info.biWidth = Width;
  info.biHeight = Height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<uint16_t>(kBitCount);
  info.biCompression = kBiRgb;
  CreateFromInfo(info);
}

void TBackBuffer::CreateFromInfo(const TBitmapInfoHeader& Info) {
  if (Info.biBitCount <= 8)
    throw EKyvError("A picture of " + std::to_string(Info.biBitCount) +
                    " bits per pixel was requested");
  const int64_t height = Info.biHeight < 0 ? -int64_t{Info.biHeight} : int64_t{Info.biHeight};
  if (height > INT_MAX)
    throw EKyvError("Picture height " + std::to_string(Info.biHeight) + " is not possible");
  // The new picture and cursor exist before the old ones go, so a failure keeps the old.
  TDib picture(Info.biWidth, static_cast<int>(height));
  FreeBitmap();
  FDC = std::move(picture);
  FMouse = std::make_unique<TVirtualMouse>(FDC);

  FInfo = Info;
  FInfo.biBitCount = static_cast<uint16_t>(kBitCount);
  FInfo.biCompression = kBiRgb;
  FInfo.biHeight = -static_cast<int32_t>(height);
  FBytesPerPixel = TDib::kBytesPerPixel;
  FBytesPerLine = DibStride(Info.biWidth);
  FInfo.biSizeImage = static_cast<uint32_t>(FDC.SizeBytes());
  FCreated.store(true, std::memory_order_release);
}

void TBackBuffer::FreeBitmap() noexcept {
  FCreated.store(false, std::memory_order_release);
  FMouse.reset();
  FDC = TDib();
}

void TBackBuffer::ApplyFrame(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize) {
  const int type = Header.FrameType;
  if (type != ftXorRect && type != ftKeyFrame && type != ftCursor && type != ftCopyRect) return;
  if (!Created() && type != ftKeyFrame) return;
  if (type == ftCursor) {
    ApplyCursor(Header, Image, ImageSize);
    return;
  }

  if (Header.DataSize == 0) Image = nullptr;
  const TBitmapImage image = CheckFrameImage(Header, Image, ImageSize, FDC.Width(), FDC.Height());
  if (!Created()) CreateFromInfo(image.Info());
  ApplyRectangle(Header, image);
}

void TBackBuffer::ApplyRectangle(const TFrameHeader& Header, const TBitmapImage& Image) {
  const TRect R{Header.Left, Header.Top, ClampToInt(int64_t{Header.Left} + Image.Width()),
                ClampToInt(int64_t{Header.Top} + Image.Height())};
  // A rectangle drawn over the cursor would capture it; take it away first.
  const bool hidden = FMouse->Visible() && FMouse->Intersects(R);
  if (hidden) {
    FMouse->Hide();
    InvalidateCursor();
  }
  Image.Draw(FDC, Header.Left, Header.Top, Header.FrameType == ftXorRect ? roInvert : roCopy);
  AddDirty(R);
  if (hidden) {
    FMouse->MoveTo(-1, -1);
    InvalidateCursor();
  }
  if (Header.MouseX != 0 || Header.MouseY != 0) {
    InvalidateCursor();
    FMouse->MoveTo(Header.MouseX, Header.MouseY);
    InvalidateCursor();
  }
}

void TBackBuffer::ApplyCursor(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize) {
  if (Header.DataSize != 0) {
    const TBitmapImage image = CheckFrameImage(Header, Image, ImageSize, FDC.Width(), FDC.Height());
    InvalidateCursor();
    FMouse->SetShape(image);
    InvalidateCursor();
  }
  if (Header.Left != 0 || Header.Top != 0) {
    if (Header.Left < FDC.Width() && Header.Top < FDC.Height()) {
      InvalidateCursor();
      FMouse->MoveTo(Header.Left, Header.Top);
      InvalidateCursor();
    }
  } else {
    FMouse->Hide();
    InvalidateCursor();
  }
}

void TBackBuffer::AddDirty(const TRect& R) {
  const TRect clipped = IntersectRect(R, FDC.Bounds());
  FDirtyRect = UnionRect(FDirtyRect, clipped);
}

void TBackBuffer::InvalidateCursor() {
  if (!FMouse) return;
  if (FMouse->X() < 0 || FMouse->Y() < 0) throw EKyvError("参数无效");
  AddDirty(FMouse->Bounds());
}

void TBackBuffer::GetDirtyRect(TRect& R, bool Reset) noexcept {
  R = FDirtyRect;
  if (Reset) FDirtyRect = TRect{};
}

}  // namespace kyv
