#include "picture/FrameRules.h"

#include "picture/Dib.h"
#include "platform/Errors.h"

namespace kyv {

std::string PictureSizeProblem(int64_t Width, int64_t Height) {
  // Built only for a refusal: the sound case allocates nothing.
  const auto size = [&] { return std::to_string(Width) + " x " + std::to_string(Height); };
  if (Width < 1 || Height < 1 || Width > kMaxPictureSide || Height > kMaxPictureSide)
    return "a picture of " + size() + " pixels is not possible";
  const uint64_t bytes =
      static_cast<uint64_t>(DibStride(static_cast<int>(Width))) * static_cast<uint64_t>(Height);
  if (bytes > TDib::kMaxBytes)
    return "a picture of " + size() + " pixels needs " + std::to_string(bytes) +
           " bytes, more than the " + std::to_string(TDib::kMaxBytes) + " allowed";
  return "";
}

TBitmapImage CheckFrameImage(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize,
                             int PictureWidth, int PictureHeight) {
  // Built only for a refusal: every drawn frame passes here, and a sound one allocates nothing.
  const auto at = [&Header] { return " (frame at " + std::to_string(Header.Time) + " ms)"; };
  if (Image == nullptr || ImageSize == 0) throw EKyvError("The frame has no image" + at());
  const TBitmapImage image = TBitmapImage::Parse(Image, ImageSize);
  const int type = Header.FrameType;
  if (type == ftCursor) return image;
  if (image.BitCount() == 4) throw EKyvError("Rectangles of 4 bits per pixel are not drawn" + at());
  if (type != ftKeyFrame) return image;
  if (PictureWidth == 0 && PictureHeight == 0) {
    if (image.BitCount() <= 8)
      throw EKyvError("A first key frame of " + std::to_string(image.BitCount()) +
                      " bits per pixel cannot make the picture" + at());
    if (const std::string problem = PictureSizeProblem(image.Width(), image.Height());
        !problem.empty())
      throw EKyvError("The key frame cannot make the picture: " + problem + at());
    return image;
  }
  if (image.Width() != PictureWidth || image.Height() != PictureHeight)
    throw EKyvError("A key frame of " + std::to_string(image.Width()) + " x " +
                    std::to_string(image.Height()) + " pixels does not fit the picture of " +
                    std::to_string(PictureWidth) + " x " + std::to_string(PictureHeight) + at());
  return image;
}

}  // namespace kyv
