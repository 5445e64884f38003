#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/FileFormat.h"
#include "writer/Pixels24.h"

namespace kyv {

// Payload encoders for frame records. Each returns the bytes that follow a frame header; all of
// them raise EKyvError when the input cannot be encoded.

// A zlib stream (compress2) of a bitmap file image, at zlib level 0 to 9.
std::vector<uint8_t> EncodeZlib(const uint8_t* bitmapFile, size_t size, int level = 6);

// An LZO1X stream (lzo1x_1_compress) of a bitmap file image.
std::vector<uint8_t> EncodeLzo(const uint8_t* bitmapFile, size_t size);

// A 58-byte image taken as it is: the bitmap file image must be exactly 58 bytes long, as a
// 1x1 picture at 24 or 32 bits is.
std::vector<uint8_t> EncodeBitmap58(const uint8_t* bitmapFile, size_t size);
// The 58-byte image of one pixel of the given colour (0x00BBGGRR) at 24 bits.
std::vector<uint8_t> EncodeBitmap58(uint32_t colour);

enum class TJpegLayout {
  jlRecording,  // first scanline = bottom row, as frame records store it
  jlUpright,    // first scanline = top row, as a still JPEG file
};

struct TJpegOptions {
  int Quality = 85;  // 1 to 100
  TJpegLayout Layout = TJpegLayout::jlRecording;
  bool Greyscale = false;  // one component: the luminance of each pixel
};

// A baseline JPEG of the picture; width and height 1 to 65500.
std::vector<uint8_t> EncodeJpeg(const TPixels24& picture, const TJpegOptions& options = {});

// What EncodePayload makes of a picture besides its compression.
struct TPayloadOptions {
  int BitCount = 24;  // depth of the bitmap file image that the payload decodes to
  bool TopDown = false;
  int ZlibLevel = 6;
  TJpegOptions Jpeg;  // the layout is always jlRecording here
};

// The payload of the picture in the given compression: ckNone, ckLzo, ckZlib and ckBitmap58
// encode EncodeBitmapFile(picture, BitCount, TopDown) (ckBitmap58 needs a 58-byte image);
// ckJpeg encodes the pixels themselves and ignores BitCount and TopDown.
std::vector<uint8_t> EncodePayload(const TPixels24& picture, TCompression kind,
                                   const TPayloadOptions& options = {});

// The same for a ready bitmap file image (not for ckJpeg).
std::vector<uint8_t> EncodeBitmapPayload(const uint8_t* bitmapFile, size_t size, TCompression kind,
                                         int zlibLevel = 6);

}  // namespace kyv
