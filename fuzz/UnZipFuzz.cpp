// Every payload kind with varied output sizes. Input: kind and mode byte, three bytes of
// DestSize, then the payload. The destination is exactly DestSize bytes, so any write past it
// is caught by the address sanitizer.
#include <cstdint>
#include <cstring>
#include <memory>

#include "decoder/BitmapFormat.h"
#include "decoder/DecoderExports.h"
#include "platform/LittleEndian.h"

namespace {
constexpr size_t kMaxDest = 1 << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = InitDecoder();
  if (!initialised || size < 4 || size > (1 << 20)) return 0;
  const int16_t kind = static_cast<int16_t>(data[0] % 6);  // 5 is not a kind
  const bool shared = (data[0] & 0x80) != 0;
  const size_t destSize = (data[1] | (data[2] << 8) | (data[3] << 16)) % (kMaxDest + 1);
  const uint8_t* src = data + 4;
  const auto srcLen = static_cast<int32_t>(size - 4);

  int32_t result;
  size_t capacity;
  const uint8_t* out;
  std::unique_ptr<uint8_t[]> dest;
  if (shared) {
    LockDecoder();
    void* buffer = nullptr;
    result = UnZipBufferEx(src, srcLen, kind, &buffer, 0);
    out = static_cast<const uint8_t*>(buffer);
    capacity = KYV_SHARED_OUTPUT_SIZE;
  } else {
    dest = std::make_unique<uint8_t[]>(destSize);
    result = UnZipBuffer(src, srcLen, kind, dest.get(), static_cast<int32_t>(destSize));
    out = dest.get();
    capacity = destSize;
  }
  const bool failed = KyvDecoderLastError() != nullptr;
  // A successful decode reports a size that lies inside the destination.
  if (!failed && result > 0 && static_cast<size_t>(result) > capacity) __builtin_trap();
  // JPEG output is always a whole 24-bit image that fits its own header.
  if (!failed && kind == 1 && result > 0) {
    const auto info = kyv::TBitmapInfoHeader::Read(out + kyv::kBitmapInfoOffset);
    const uint64_t need = kyv::kBitmapHeadersSize +
                          kyv::BitmapStride(static_cast<uint64_t>(info.biWidth), 24) *
                              static_cast<uint64_t>(-static_cast<int64_t>(info.biHeight));
    if (need != static_cast<uint64_t>(result)) __builtin_trap();
  }
  if (shared) UnlockDecoder();
  return 0;
}
