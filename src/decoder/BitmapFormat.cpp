#include "decoder/BitmapFormat.h"

#include "platform/LittleEndian.h"

namespace kyv {

TBitmapFileHeader TBitmapFileHeader::Read(const uint8_t* p) noexcept {
  return {LoadLE<uint16_t>(p), LoadLE<uint32_t>(p + 2), LoadLE<uint16_t>(p + 6),
          LoadLE<uint16_t>(p + 8), LoadLE<uint32_t>(p + 10)};
}

void TBitmapFileHeader::Write(uint8_t* p) const noexcept {
  StoreLE(p, bfType);
  StoreLE(p + 2, bfSize);
  StoreLE(p + 6, bfReserved1);
  StoreLE(p + 8, bfReserved2);
  StoreLE(p + 10, bfOffBits);
}

TBitmapInfoHeader TBitmapInfoHeader::Read(const uint8_t* p) noexcept {
  TBitmapInfoHeader h;
  h.biSize = LoadLE<uint32_t>(p);
  h.biWidth = LoadLE<int32_t>(p + 4);
  h.biHeight = LoadLE<int32_t>(p + 8);
  h.biPlanes = LoadLE<uint16_t>(p + 12);
  h.biBitCount = LoadLE<uint16_t>(p + 14);
  h.biCompression = LoadLE<uint32_t>(p + 16);
  h.biSizeImage = LoadLE<uint32_t>(p + 20);
  h.biXPelsPerMeter = LoadLE<int32_t>(p + 24);
  h.biYPelsPerMeter = LoadLE<int32_t>(p + 28);
  h.biClrUsed = LoadLE<uint32_t>(p + 32);
  h.biClrImportant = LoadLE<uint32_t>(p + 36);
  return h;
}

void TBitmapInfoHeader::Write(uint8_t* p) const noexcept {
  StoreLE(p, biSize);
  StoreLE(p + 4, biWidth);
  StoreLE(p + 8, biHeight);
  StoreLE(p + 12, biPlanes);
  StoreLE(p + 14, biBitCount);
  StoreLE(p + 16, biCompression);
  StoreLE(p + 20, biSizeImage);
  StoreLE(p + 24, biXPelsPerMeter);
  StoreLE(p + 28, biYPelsPerMeter);
  StoreLE(p + 32, biClrUsed);
  StoreLE(p + 36, biClrImportant);
}

}  // namespace kyv
