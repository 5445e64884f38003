// LZO1X streams written by hand, so that every boundary is known exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decoder/DecoderCalls.h"
#include "decoder/DecoderExports.h"

namespace kyv {
namespace {

// A first byte above 17 starts with a literal run of (byte - 17) bytes; 0x11 0x00 0x00 ends.
std::vector<uint8_t> LiteralStream(const std::string& text) {
  std::vector<uint8_t> s(text.size() + 4, 0);
  s[0] = static_cast<uint8_t>(17 + text.size());
  std::copy(text.begin(), text.end(), s.begin() + 1);
  s[text.size() + 1] = 0x11;
  return s;
}

std::string LastError() {
  const char* text = KyvDecoderLastError();
  return text ? text : "";
}

TEST(Lzo, DecompressReturnsTheBytesWritten) {
  const auto stream = LiteralStream("abcd");
  char out[16] = {};
  EXPECT_EQ(Decompress(stream.data(), static_cast<int32_t>(stream.size()), out), 4);
  EXPECT_EQ(std::string(out, 4), "abcd");
  EXPECT_EQ(UnZip(stream.data(), static_cast<int32_t>(stream.size()), 2, out, 16), 4);
}

TEST(Lzo, OneByteAfterTheEndMarkerGivesMinusOneWithoutFailure) {
  auto stream = LiteralStream("abcd");
  stream.push_back(0);
  char out[16] = {};
  EXPECT_EQ(Decompress(stream.data(), static_cast<int32_t>(stream.size()), out), -1);
  EXPECT_EQ(UnZipBuffer(stream.data(), static_cast<int32_t>(stream.size()), 2, out, 16), -1);
  EXPECT_EQ(KyvDecoderLastError(), nullptr);
}

TEST(Lzo, OutputIsBoundedByDestSize) {
  const auto stream = LiteralStream("abcdefgh");
  char out[16] = {};
  EXPECT_EQ(UnZipBuffer(stream.data(), static_cast<int32_t>(stream.size()), 2, out, 7), -1);
  EXPECT_EQ(LastError(), "LZO error: target buffer may be too small");
  EXPECT_EQ(UnZip(stream.data(), static_cast<int32_t>(stream.size()), 2, out, 8), 8);
}

TEST(Lzo, TruncatedAndDamagedStreamsFailWithoutOverrun) {
  const auto stream = LiteralStream("abcdefgh");
  char out[64] = {};
  // Cut before the end marker: the decoder would have to read past the input.
  EXPECT_EQ(UnZipBuffer(stream.data(), 6, 2, out, 64), -1);
  EXPECT_EQ(LastError(), "LZO error: damaged stream");
  // A back reference before the start of the output.
  const std::vector<uint8_t> lookBehind{0x12, 'a', 0x20 | 5, 0xFF, 0xFF, 0x11, 0x00, 0x00};
  EXPECT_EQ(UnZipBuffer(lookBehind.data(), static_cast<int32_t>(lookBehind.size()), 2, out, 64),
            -1);
  EXPECT_EQ(LastError(), "LZO error: damaged stream");
}

}  // namespace
}  // namespace kyv
