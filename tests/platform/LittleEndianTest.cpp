// Little-endian loads and stores of every integer width at every alignment.
#include "platform/LittleEndian.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

namespace kyv {
namespace {

template <class T>
class LittleEndian : public testing::Test {};

using TIntegers =
    testing::Types<uint8_t, int8_t, uint16_t, int16_t, uint32_t, int32_t, uint64_t, int64_t>;
TYPED_TEST_SUITE(LittleEndian, TIntegers);

TYPED_TEST(LittleEndian, StoresLowByteFirstAtAnyOffsetAndLoadsBack) {
  using T = TypeParam;
  using U = std::make_unsigned_t<T>;
  const std::array<T, 6> values = {T(0),
                                   T(1),
                                   T(-1),
                                   std::numeric_limits<T>::min(),
                                   std::numeric_limits<T>::max(),
                                   static_cast<T>(static_cast<U>(0xF1E2D3C4B5A69788ull))};
  for (const T value : values) {
    for (size_t offset = 0; offset < 8; ++offset) {
      std::array<uint8_t, 24> bytes;
      bytes.fill(0xCC);
      StoreLE<T>(bytes.data() + offset, value);
      const auto bits = static_cast<U>(value);
      for (size_t i = 0; i < sizeof(T); ++i)
        ASSERT_EQ(bytes[offset + i], static_cast<uint8_t>(bits >> (8 * i)))
            << "byte " << i << " offset " << offset;
      // Nothing outside the value is touched.
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i < offset || i >= offset + sizeof(T)) {
          ASSERT_EQ(bytes[i], 0xCC) << "byte " << i;
        }
      }
      EXPECT_EQ(LoadLE<T>(bytes.data() + offset), value) << "offset " << offset;
    }
  }
}

TEST(LittleEndianBytes, ReadsKnownLayouts) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88, 0x80};
  EXPECT_EQ(LoadLE<uint16_t>(bytes), 0x0201u);
  EXPECT_EQ(LoadLE<uint32_t>(bytes + 1), 0x05040302u);
  EXPECT_EQ(LoadLE<uint64_t>(bytes), 0x8807060504030201ull);
  EXPECT_EQ(LoadLE<int64_t>(bytes), static_cast<int64_t>(0x8807060504030201ull));
  EXPECT_LT(LoadLE<int64_t>(bytes), 0);
  EXPECT_EQ(LoadLE<int16_t>(bytes + 7), static_cast<int16_t>(0x8088));
  EXPECT_EQ(LoadLE<int8_t>(bytes + 8), -128);
  EXPECT_EQ(LoadLE<int32_t>(bytes + 5), static_cast<int32_t>(0x80880706));
}

}  // namespace
}  // namespace kyv
