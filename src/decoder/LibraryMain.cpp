// The control library. Its exports come from the static libraries it is linked from. The
// decoder's entry points are named here so that an ordinary link keeps them: nothing inside the
// library may call some of them, and the road above links the decoder too, so it cannot be
// taken whole.
#include "decoder/DecoderExports.h"

namespace kyv {

[[gnu::used]] static const void* const kDecoderExports[] = {
    reinterpret_cast<const void*>(&InitDecoder),
    reinterpret_cast<const void*>(&UninitDecoder),
    reinterpret_cast<const void*>(&LockDecoder),
    reinterpret_cast<const void*>(&UnlockDecoder),
    reinterpret_cast<const void*>(&UnZipBuffer),
    reinterpret_cast<const void*>(&UnZipBufferEx),
    reinterpret_cast<const void*>(&CheckKyvFileHeader),
    reinterpret_cast<const void*>(&Decompress),
    reinterpret_cast<const void*>(&KyvDecoderLastError)};

}  // namespace kyv
