#include "picture/BitmapImage.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/Errors.h"

namespace kyv {

namespace {

[[noreturn]] void Refuse(const std::string& why) {
  throw EKyvError("Bitmap image refused: " + why);
}

struct TCopyPixel {
  static void Put(uint8_t* d, uint8_t b, uint8_t g, uint8_t r) noexcept {
    d[0] = b;
    d[1] = g;
    d[2] = r;
  }
};

struct TInvertPixel {
  static void Put(uint8_t* d, uint8_t b, uint8_t g, uint8_t r) noexcept {
    d[0] ^= b;
    d[1] ^= g;
    d[2] ^= r;
  }
};

// 5 bits widened to 8 by repeating the top bits, so that 31 becomes 255.
inline uint8_t Widen5(uint32_t x) noexcept {
  return static_cast<uint8_t>((x << 3) | (x >> 2));
}

// Converts count pixels of a stored row, starting at pixel first, into d. The palette holds 256
// BGRA entries, so that any index the row holds finds one.
template <int BitCount, class Op>
void ConvertRow(uint8_t* d, const uint8_t* row, int first, int count,
                const uint8_t* palette) noexcept {
  constexpr bool kCopy = std::is_same_v<Op, TCopyPixel>;
  if constexpr (BitCount == 24) {
    const uint8_t* s = row + static_cast<size_t>(first) * 3;
    const size_t bytes = static_cast<size_t>(count) * 3;
    if constexpr (kCopy) {
      std::memcpy(d, s, bytes);
    } else {
      XorBytes(d, s, bytes);
    }
  } else if constexpr (BitCount == 32 && kCopy) {
    // Four-byte moves, each overwriting the next pixel's first byte before that pixel is
    // written; the last pixel moves three bytes so nothing past the span is touched.
    const uint8_t* s = row + static_cast<size_t>(first) * 4;
    for (int x = 0; x < count - 1; ++x, d += 3, s += 4) std::memcpy(d, s, 4);
    Op::Put(d, s[0], s[1], s[2]);
  } else if constexpr (BitCount == 32) {
    const uint8_t* s = row + static_cast<size_t>(first) * 4;
    for (int x = 0; x < count; ++x, d += 3, s += 4) Op::Put(d, s[0], s[1], s[2]);
  } else if constexpr (BitCount == 8 && kCopy) {
    const uint8_t* s = row + first;
    for (int x = 0; x < count - 1; ++x, d += 3) std::memcpy(d, palette + s[x] * 4, 4);
    const uint8_t* q = palette + s[count - 1] * 4;
    Op::Put(d, q[0], q[1], q[2]);
  } else if constexpr (BitCount == 16) {
    const uint8_t* s = row + static_cast<size_t>(first) * 2;
    for (int x = 0; x < count; ++x, d += 3, s += 2) {
      const uint32_t v = s[0] | (s[1] << 8);
      Op::Put(d, Widen5(v & 31), Widen5((v >> 5) & 31), Widen5((v >> 10) & 31));
    }
  } else if constexpr (BitCount == 8) {
    const uint8_t* s = row + first;
    for (int x = 0; x < count; ++x, d += 3) {
      const uint8_t* q = palette + s[x] * 4;
      Op::Put(d, q[0], q[1], q[2]);
    }
  } else {
    // 1 and 4 bits: the leftmost pixel sits in the high bits of each byte.
    constexpr int kPerByte = 8 / BitCount;
    constexpr uint32_t kMask = (1u << BitCount) - 1;
    for (int x = first; x < first + count; ++x, d += 3) {
      const int shift = (kPerByte - 1 - x % kPerByte) * BitCount;
      const uint8_t* q = palette + ((row[x / kPerByte] >> shift) & kMask) * 4;
      Op::Put(d, q[0], q[1], q[2]);
    }
  }
}

using TRowConverter = void (*)(uint8_t*, const uint8_t*, int, int, const uint8_t*) noexcept;

template <class Op>
TRowConverter ConverterFor(int bitCount) noexcept {
  switch (bitCount) {
    case 1:
      return &ConvertRow<1, Op>;
    case 4:
      return &ConvertRow<4, Op>;
    case 8:
      return &ConvertRow<8, Op>;
    case 16:
      return &ConvertRow<16, Op>;
    case 24:
      return &ConvertRow<24, Op>;
    default:
      return &ConvertRow<32, Op>;
  }
}

}  // namespace

TBitmapImage TBitmapImage::Parse(const uint8_t* image, size_t available) {
  if (image == nullptr || available < kBitmapHeadersSize)
    Refuse(std::to_string(image == nullptr ? 0 : available) + " bytes cannot hold its headers");
  const TBitmapFileHeader file = TBitmapFileHeader::Read(image);
  const uint32_t fileSize = file.bfSize;
  const uint32_t offBits = file.bfOffBits;
  // Everything must lie inside both what the image claims and what is really there.
  const uint64_t limit = std::min<uint64_t>(fileSize, available);
  if (limit < kBitmapHeadersSize)
    Refuse("bfSize " + std::to_string(fileSize) + " cannot hold its headers");

  TBitmapImage view;
  view.FInfo = TBitmapInfoHeader::Read(image + kBitmapInfoOffset);
  const TBitmapInfoHeader& info = view.FInfo;
  if (info.biSize < TBitmapInfoHeader::kSize)
    Refuse("info header size " + std::to_string(info.biSize) + " is below 40");
  if (info.biPlanes != 1) Refuse("biPlanes is " + std::to_string(info.biPlanes) + ", not 1");
  if (info.biCompression != kBiRgb)
    Refuse("compression " + std::to_string(info.biCompression) + " is not BI_RGB");
  const int bitCount = info.biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    Refuse(std::to_string(bitCount) + " bits per pixel are not supported");
  if (info.biWidth <= 0) Refuse("width " + std::to_string(info.biWidth) + " is not positive");
  const int64_t height = info.biHeight < 0 ? -int64_t{info.biHeight} : int64_t{info.biHeight};
  if (height == 0 || height > INT32_MAX) Refuse("height " + std::to_string(info.biHeight));

  // The colour table follows the info header, whatever its size.
  const uint64_t tableOffset = kBitmapInfoOffset + uint64_t{info.biSize};
  if (bitCount <= 8) {
    const uint32_t maxColours = 1u << bitCount;
    const uint64_t stored = info.biClrUsed != 0 ? info.biClrUsed : maxColours;
    if (tableOffset + stored * 4 > limit)
      Refuse("the colour table of " + std::to_string(stored) + " entries does not fit in " +
             std::to_string(limit) + " bytes");
    view.FColours = image + tableOffset;
    view.FColourCount = static_cast<uint32_t>(std::min<uint64_t>(stored, maxColours));
  } else if (tableOffset > limit) {
    Refuse("the info header does not fit in " + std::to_string(limit) + " bytes");
  }

  // Width x depth fits 64 bits easily; rows x height is checked by division so it cannot wrap.
  const uint64_t stride = BitmapStride(static_cast<uint64_t>(info.biWidth), bitCount);
  if (offBits < kBitmapHeadersSize || offBits > limit)
    Refuse("bfOffBits " + std::to_string(offBits) + " lies outside the pixel area");
  if (stride > (limit - offBits) / static_cast<uint64_t>(height))
    Refuse(std::to_string(info.biWidth) + " x " + std::to_string(height) + " pixels of " +
           std::to_string(bitCount) + " bits do not fit in " + std::to_string(limit - offBits) +
           " bytes after bfOffBits");

  view.FWidth = info.biWidth;
  view.FHeight = static_cast<int>(height);
  view.FStride = static_cast<size_t>(stride);
  view.FPixels = image + offBits;
  return view;
}

const uint8_t* TBitmapImage::SourceRow(int y) const noexcept {
  const int stored = TopDown() ? y : FHeight - 1 - y;
  return FPixels + static_cast<size_t>(stored) * FStride;
}

void TBitmapImage::Draw(TDib& target, int left, int top, TRasterOp op) const {
  int dstX = left, dstY = top, srcX = 0, srcY = 0, width = FWidth, height = FHeight;
  if (!ClipBlit(target.Width(), target.Height(), FWidth, FHeight, dstX, dstY, srcX, srcY, width,
                height))
    return;

  // Indices beyond the table show black.
  alignas(16) uint8_t palette[256 * 4];
  if (FColours != nullptr) {
    std::memcpy(palette, FColours, size_t{FColourCount} * 4);
    std::memset(palette + size_t{FColourCount} * 4, 0, (256 - size_t{FColourCount}) * 4);
  }

  const TRowConverter convert = op == roInvert ? ConverterFor<TInvertPixel>(BitCount())
                                               : ConverterFor<TCopyPixel>(BitCount());
  for (int y = 0; y < height; ++y)
    convert(target.Row(dstY + y) + static_cast<size_t>(dstX) * TDib::kBytesPerPixel,
            SourceRow(srcY + y), srcX, width, palette);
}

}  // namespace kyv
