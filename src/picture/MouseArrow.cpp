#include "picture/MouseArrow.h"

#include "decoder/BitmapFormat.h"

namespace kyv {

namespace {

// Standard 16-colour palette as 0x00RRGGBB.
constexpr uint32_t kPalette16[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr uint8_t kBlack = 0, kRed = 9, kWhite = 15;

// Each line of the arrow drawn as text: '#' black, 'o' white, anything else transparent.
constexpr const char* kArrowRows[] = {
    "      #",          "      ##",         "      #o#",         "      #oo#",
    "      #ooo#",      "      #oooo#",     "      #ooooo#",     "      #oooooo#",
    "      #ooooooo#",  "      #oooooooo#", "      #ooooooooo#", "      #oooooo#####",
    "      #ooo#oo#",   "      #oo##oo#",   "      #o#  #oo#",   "      ##   #oo#",
    "      #     #oo#", "            #oo#", "             #oo#", "             #oo#",
    "              ##",
};

std::vector<uint8_t> BuildArrow() {
  constexpr int kBits = 4;
  const uint64_t stride = BitmapStride(kArrowSize, kBits);
  const uint32_t offBits = kBitmapHeadersSize + 16 * 4;
  const uint32_t size = offBits + static_cast<uint32_t>(stride) * kArrowSize;
  std::vector<uint8_t> image(size, 0);
  TBitmapFileHeader{kBitmapType, size, 0, 0, offBits}.Write(image.data());
  TBitmapInfoHeader info{};
  info.biSize = TBitmapInfoHeader::kSize;
  info.biWidth = kArrowSize;
  info.biHeight = kArrowSize;  // bottom-up, as a resource stores it
  info.biPlanes = 1;
  info.biBitCount = kBits;
  info.biCompression = kBiRgb;
  info.biSizeImage = static_cast<uint32_t>(stride) * kArrowSize;
  info.Write(image.data() + kBitmapInfoOffset);
  for (int i = 0; i < 16; ++i) {
    uint8_t* q = image.data() + kBitmapHeadersSize + i * 4;
    q[0] = static_cast<uint8_t>(kPalette16[i]);
    q[1] = static_cast<uint8_t>(kPalette16[i] >> 8);
    q[2] = static_cast<uint8_t>(kPalette16[i] >> 16);
  }
  constexpr int kDrawnRows = sizeof(kArrowRows) / sizeof(kArrowRows[0]);
  for (int y = 0; y < kArrowSize; ++y) {
    uint8_t* row = image.data() + offBits + stride * (kArrowSize - 1 - y);
    const char* line = y < kDrawnRows ? kArrowRows[y] : "";
    bool ended = false;
    for (int x = 0; x < kArrowSize; ++x) {
      ended = ended || line[x] == '\0';
      const char c = ended ? ' ' : line[x];
      const uint8_t index = c == '#' ? kBlack : c == 'o' ? kWhite : kRed;
      row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
  }
  return image;
}

}  // namespace

const std::vector<uint8_t>& BuiltinArrowImage() {
  static const std::vector<uint8_t> image = BuildArrow();
  return image;
}

}  // namespace kyv
