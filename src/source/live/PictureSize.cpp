#include "source/live/PictureSize.h"

#include <string>

#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
#include "picture/FrameRules.h"
#include "platform/Errors.h"

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
  // The rules the picture itself follows, whatever the values: a key frame it could not make
  // its picture from is refused here, and the stream waits for a usable one.
  const TBitmapImage bitmap = CheckFrameImage(Record.Header(), static_cast<const uint8_t*>(image),
                                              static_cast<size_t>(size), 0, 0);
  return {static_cast<uint16_t>(bitmap.Width()), static_cast<uint16_t>(bitmap.Height())};
}

}  // namespace kyv
