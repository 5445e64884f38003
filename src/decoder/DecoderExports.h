/* The frame decoder as the control library exports it to other programs (C linkage). The
 * library's own code calls these same entry points, through decoder/DecoderCalls.h.
 *
 * No failure crosses these functions as an exception. A failing call returns -1 (the integer
 * functions) or false (the Boolean ones) and leaves its message, UTF-8, for
 * KyvDecoderLastError on the same thread; a successful call clears it. UnZipBuffer of an LZO
 * payload whose end marker does not end the input returns -1 without a failure. */
#pragma once

#include <stdbool.h>
#include <stdint.h>

#if defined(__GNUC__)
#define KYV_DECODER_EXPORT __attribute__((visibility("default")))
#else
#define KYV_DECODER_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the shared output buffer that UnZipBufferEx uses when the caller passes none. */
#define KYV_SHARED_OUTPUT_SIZE 0xA00000

KYV_DECODER_EXPORT bool InitDecoder(void);
KYV_DECODER_EXPORT bool UninitDecoder(void);
KYV_DECODER_EXPORT void LockDecoder(void);
KYV_DECODER_EXPORT void UnlockDecoder(void);
KYV_DECODER_EXPORT int32_t UnZipBuffer(const void* Src, int32_t SrcLen, int16_t Kind, void* Dest,
                                       int32_t DestSize);
KYV_DECODER_EXPORT int32_t UnZipBufferEx(const void* Src, int32_t SrcLen, int16_t Kind,
                                         void** Dest, int32_t DestSize);
KYV_DECODER_EXPORT bool CheckKyvFileHeader(const void* Header);
KYV_DECODER_EXPORT int32_t Decompress(const void* Src, int32_t SrcLen, void* Dest);

/* The message of the last failing decoder call on this thread, or null when the last call
 * succeeded. Valid until the next decoder call on this thread. */
KYV_DECODER_EXPORT const char* KyvDecoderLastError(void);

#ifdef __cplusplus
}
#endif
