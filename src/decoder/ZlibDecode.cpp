#include <zlib.h>

#include <climits>

#include "decoder/DecoderMessages.h"
#include "decoder/PayloadDecoders.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"

namespace kyv {

int32_t DecodeZlib(const uint8_t* src, size_t srcLen, uint8_t* dest, size_t destSize) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw EKyvError(kMsgZlibError);
  stream.next_in = const_cast<Bytef*>(src);
  stream.avail_in = static_cast<uInt>(srcLen);
  stream.next_out = dest;
  stream.avail_out = static_cast<uInt>(destSize);
  const int result = inflate(&stream, Z_FINISH);
  const uLong written = stream.total_out;
  const bool outputFull = stream.avail_out == 0;
  inflateEnd(&stream);

  // With Z_FINISH a full output buffer shows as Z_BUF_ERROR: that is the stream not ending
  // within destSize, not damaged data.
  if (result == Z_BUF_ERROR && outputFull) throw EKyvError(kMsgZlibTargetTooSmall);
  if (result < 0) throw EKyvError(kMsgZlibError);
  if (result != Z_STREAM_END) throw EKyvError(kMsgZlibTargetTooSmall);

  // The result is the image's own bfSize; callers copy that many bytes, so it must lie within
  // what was written.
  if (written < 6) throw EKyvError(kMsgZlibImageTooShort);
  const uint32_t bfSize = LoadLE<uint32_t>(dest + 2);
  if (bfSize > written) throw EKyvError(kMsgZlibImageSizeWrong);
  return static_cast<int32_t>(bfSize);
}

}  // namespace kyv
