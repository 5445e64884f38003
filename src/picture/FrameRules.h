#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "decoder/FileFormat.h"
#include "picture/BitmapImage.h"

namespace kyv {

// The rules by which the picture shows a frame, in one place: the back buffer draws only what
// they accept, and "kyvtool check" calls a recording sound only when every frame passes them.
// Any thread; no shared state.

// The largest side of a picture: sizes travel as 16-bit numbers.
inline constexpr int64_t kMaxPictureSide = 65535;

// What keeps a picture of Width x Height from being made, or "" when it can be: both sides
// from 1 to kMaxPictureSide and its pixels within TDib::kMaxBytes.
std::string PictureSizeProblem(int64_t Width, int64_t Height);

// Checks the decoded image of a frame that draws (a rectangle, a key frame or a cursor shape)
// against the picture it goes into, PictureWidth x PictureHeight, or 0 x 0 while no picture
// exists (the first key frame then makes it). Returns the checked view; raises EKyvError naming
// what is wrong: an image the bitmap rules refuse, a rectangle of 4 bits per pixel, a key frame
// whose size is not the picture's, or a first key frame that cannot make a picture.
TBitmapImage CheckFrameImage(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize,
                             int PictureWidth, int PictureHeight);

}  // namespace kyv
