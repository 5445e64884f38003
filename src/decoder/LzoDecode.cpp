#include <lzo/lzo1x.h>

#include <mutex>

#include "decoder/DecoderMessages.h"
#include "decoder/PayloadDecoders.h"
#include "platform/Errors.h"

namespace kyv {

int32_t DecodeLzo(const uint8_t* src, size_t srcLen, uint8_t* dest, size_t destSize) {
  static std::once_flag initialised;
  std::call_once(initialised, [] {
    const int status = lzo_init();
    KYV_ASSERT(status == LZO_E_OK);
  });

  lzo_uint written = destSize;
  const int result = lzo1x_decompress_safe(src, srcLen, dest, &written, nullptr);
  switch (result) {
    case LZO_E_OK:
      return static_cast<int32_t>(written);
    case LZO_E_INPUT_NOT_CONSUMED:
      return -1;
    case LZO_E_OUTPUT_OVERRUN:
      throw EKyvError(kMsgLzoTargetTooSmall);
    default:
      throw EKyvError(kMsgLzoDamaged);
  }
}

}  // namespace kyv
