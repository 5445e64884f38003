#include "source/live/PictureSize.h"

#include <cstdlib>
#include <string>

#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"

namespace kyv {

TPictureSize ReadPictureSize(TFrameView Record) {
  KYV_ASSERT(static_cast<bool>(Record));
  const std::span<const uint8_t> payload = Record.Data();
  if (payload.empty()) throw EKyvError("A key frame without payload has no picture size");
  if (payload.size() > static_cast<size_t>(INT32_MAX))
    throw EKyvError("A key frame payload is too large to decode");
  TDecoderLock lock;
  void* image = nullptr;
  const int32_t size =
      UnZipEx(payload.data(), static_cast<int32_t>(payload.size()), Record.Header().Compression,
              image, static_cast<int32_t>(kMaxDecodedBytes));
  if (image == nullptr || size < static_cast<int32_t>(kBitmapHeadersSize))
    throw EKyvError("A key frame decodes to " + std::to_string(size) +
                    " bytes, too few for a bitmap");
  const auto* info = static_cast<const uint8_t*>(image) + kBitmapInfoOffset;
  const int64_t width = LoadLE<int32_t>(info + offsetof(TBitmapInfoHeader, biWidth));
  const int64_t height = std::llabs(LoadLE<int32_t>(info + offsetof(TBitmapInfoHeader, biHeight)));
  if (width < 0 || width > 65535 || height > 65535)
    throw EKyvError("Key frame picture size out of range: " + std::to_string(width) + " x " +
                    std::to_string(height));
  return {static_cast<uint16_t>(width), static_cast<uint16_t>(height)};
}

}  // namespace kyv
