#include "writer/BitmapWriter.h"

#include <algorithm>
#include <unordered_map>

#include "decoder/BitmapFormat.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"

namespace kyv {

namespace {

uint16_t To555(uint32_t c) {
  const uint32_t r = (c & 0xFF) >> 3, g = ((c >> 8) & 0xFF) >> 3, b = ((c >> 16) & 0xFF) >> 3;
  return static_cast<uint16_t>((r << 10) | (g << 5) | b);
}

// 5 bits widened to 8 by repeating the top bits, so that 31 becomes 255.
uint32_t From555(uint16_t v) {
  auto widen = [](uint32_t x) { return (x << 3) | (x >> 2); };
  return widen((v >> 10) & 31) | (widen((v >> 5) & 31) << 8) | (widen(v & 31) << 16);
}

}  // namespace

std::vector<uint8_t> EncodeBitmapFile(const TPixels24& picture, int bitCount, bool topDown) {
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    throw EKyvError("EncodeBitmapFile: unsupported bit count " + std::to_string(bitCount));

  std::vector<uint32_t> palette;
  std::unordered_map<uint32_t, uint32_t> paletteIndex;
  if (bitCount <= 8) {
    for (int y = 0; y < picture.Height; ++y)
      for (int x = 0; x < picture.Width; ++x) {
        const uint32_t c = picture.Colour(x, y);
        if (paletteIndex.emplace(c, static_cast<uint32_t>(palette.size())).second)
          palette.push_back(c);
      }
    if (palette.size() > (1u << bitCount))
      throw EKyvError("EncodeBitmapFile: the picture has more colours than " +
                      std::to_string(bitCount) + " bits can hold");
    if (palette.empty()) palette.push_back(0);
  }

  const uint64_t stride = BitmapStride(picture.Width, bitCount);
  const uint32_t offBits = static_cast<uint32_t>(kBitmapHeadersSize + palette.size() * 4);
  const uint64_t size = offBits + stride * picture.Height;
  std::vector<uint8_t> image(size, 0);

  TBitmapFileHeader file{kBitmapType, static_cast<uint32_t>(size), 0, 0, offBits};
  file.Write(image.data());
  TBitmapInfoHeader info{};
  info.biSize = TBitmapInfoHeader::kSize;
  info.biWidth = picture.Width;
  info.biHeight = topDown ? -picture.Height : picture.Height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<uint16_t>(bitCount);
  info.biCompression = kBiRgb;
  info.biSizeImage = static_cast<uint32_t>(stride * picture.Height);
  info.biClrUsed = static_cast<uint32_t>(palette.size());
  info.Write(image.data() + kBitmapInfoOffset);
  for (size_t i = 0; i < palette.size(); ++i) {
    uint8_t* q = image.data() + kBitmapHeadersSize + i * 4;
    q[0] = static_cast<uint8_t>(palette[i] >> 16);  // RGBQUAD: blue, green, red, 0
    q[1] = static_cast<uint8_t>(palette[i] >> 8);
    q[2] = static_cast<uint8_t>(palette[i]);
  }

  for (int y = 0; y < picture.Height; ++y) {
    const int fileRow = topDown ? y : picture.Height - 1 - y;
    uint8_t* row = image.data() + offBits + stride * fileRow;
    for (int x = 0; x < picture.Width; ++x) {
      const uint32_t c = picture.Colour(x, y);
      switch (bitCount) {
        case 1:
        case 4:
        case 8: {
          const uint32_t index = paletteIndex.at(c);
          const int bitPos = x * bitCount;
          const int shift = 8 - bitCount - bitPos % 8;
          row[bitPos / 8] |= static_cast<uint8_t>(index << shift);
          break;
        }
        case 16:
          StoreLE(row + x * 2, To555(c));
          break;
        default: {
          const uint8_t* p = picture.Pixel(x, y);
          std::copy(p, p + 3, row + x * (bitCount / 8));
        }
      }
    }
  }
  return image;
}

TPixels24 DecodeBitmapFile(const uint8_t* image, size_t size) {
  if (size < kBitmapHeadersSize) throw EKyvError("DecodeBitmapFile: image too short");
  const auto file = TBitmapFileHeader::Read(image);
  const auto info = TBitmapInfoHeader::Read(image + kBitmapInfoOffset);
  const int bitCount = info.biBitCount;
  const int width = info.biWidth;
  const int height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
  const uint64_t stride = BitmapStride(static_cast<uint64_t>(width), bitCount);
  if (width < 0 || file.bfOffBits + stride * height > size)
    throw EKyvError("DecodeBitmapFile: image does not fit its size");
  const uint8_t* table = image + kBitmapHeadersSize;
  TPixels24 picture(width, height);
  for (int y = 0; y < height; ++y) {
    const int fileRow = info.biHeight < 0 ? y : height - 1 - y;
    const uint8_t* row = image + file.bfOffBits + stride * fileRow;
    for (int x = 0; x < width; ++x) {
      uint32_t c = 0;
      if (bitCount <= 8) {
        const int bitPos = x * bitCount;
        const uint32_t index =
            (row[bitPos / 8] >> (8 - bitCount - bitPos % 8)) & ((1u << bitCount) - 1);
        const uint8_t* q = table + index * 4;
        c = q[2] | (q[1] << 8) | (q[0] << 16);
      } else if (bitCount == 16) {
        c = From555(LoadLE<uint16_t>(row + x * 2));
      } else {
        const uint8_t* p = row + x * (bitCount / 8);
        c = p[2] | (p[1] << 8) | (p[0] << 16);
      }
      picture.SetColour(x, y, c);
    }
  }
  return picture;
}

}  // namespace kyv
