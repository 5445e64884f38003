#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

// The bitmap file image that every payload decodes to: a 14-byte file header, a 40-byte info
// header, an optional colour table, then the pixel rows padded to 4 bytes.

inline constexpr uint16_t kBitmapType = 0x4D42;  // "BM"
inline constexpr uint32_t kBiRgb = 0;

// Packed: bfSize and bfOffBits sit at offsets that do not suit them, so copy them before
// passing them by reference. The info header's members all sit at natural offsets.
#pragma pack(push, 1)

struct TBitmapFileHeader {
  static constexpr size_t kSize = 14;

  uint16_t bfType;
  uint32_t bfSize;  // the whole image in bytes
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;  // offset of the first pixel byte

  static TBitmapFileHeader Read(const uint8_t* p) noexcept;
  void Write(uint8_t* p) const noexcept;
};

struct alignas(4) TBitmapInfoHeader {
  static constexpr size_t kSize = 40;

  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: rows bottom-up; negative: top-down
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;

  static TBitmapInfoHeader Read(const uint8_t* p) noexcept;
  void Write(uint8_t* p) const noexcept;
};

#pragma pack(pop)

static_assert(sizeof(TBitmapFileHeader) == 14);
static_assert(offsetof(TBitmapFileHeader, bfSize) == 2);
static_assert(offsetof(TBitmapFileHeader, bfOffBits) == 10);
static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(offsetof(TBitmapInfoHeader, biWidth) == 4);
static_assert(offsetof(TBitmapInfoHeader, biHeight) == 8);
static_assert(offsetof(TBitmapInfoHeader, biBitCount) == 14);
static_assert(offsetof(TBitmapInfoHeader, biCompression) == 16);
static_assert(offsetof(TBitmapInfoHeader, biSizeImage) == 20);
static_assert(offsetof(TBitmapInfoHeader, biClrUsed) == 32);

// Offset of the info header inside a bitmap file image, and of the colour table.
inline constexpr size_t kBitmapInfoOffset = TBitmapFileHeader::kSize;
inline constexpr size_t kBitmapHeadersSize = TBitmapFileHeader::kSize + TBitmapInfoHeader::kSize;

// Bytes of one pixel row of the given width and depth, padded to 4 bytes; computed in 64 bits so
// that no width or depth overflows it.
constexpr uint64_t BitmapStride(uint64_t width, uint64_t bitCount) noexcept {
  return ((width * bitCount + 31) / 32) * 4;
}

}  // namespace kyv
