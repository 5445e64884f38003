#include "decoder/DecoderExports.h"

#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "decoder/DecoderMessages.h"
#include "decoder/DecoderState.h"
#include "decoder/Limits.h"
#include "decoder/PayloadDecoders.h"
#include "platform/Errors.h"

namespace kyv {

namespace {

static_assert(KYV_SHARED_OUTPUT_SIZE == kMaxDecodedBytes, "the public header names the same limit");

thread_local std::string tLastError;
thread_local bool tFailed = false;

// Runs one export: a failure becomes the given result plus the thread's last error, so no
// exception ever crosses the C boundary.
template <class R, class F>
R Guarded(R failed, F&& body) noexcept {
  tFailed = false;
  try {
    return body();
  } catch (const EKyvError& e) {
    tLastError = e.Message();
  } catch (const std::bad_alloc&) {
    tLastError = "内存不足";
  } catch (const std::exception& e) {
    tLastError = e.what();
  } catch (...) {
    tLastError = "未知错误";
  }
  tFailed = true;
  return failed;
}

int32_t UnZip(const void* srcArg, int32_t srcLen, int16_t kind, void* destArg, int32_t destSize) {
  if (srcArg == nullptr || srcLen == 0) return 0;
  if (srcLen < 0) throw EKyvError(kMsgBadSourceLength);
  const auto* src = static_cast<const uint8_t*>(srcArg);
  auto* dest = static_cast<uint8_t*>(destArg);
  const size_t length = static_cast<size_t>(srcLen);
  const size_t capacity = destSize > 0 ? static_cast<size_t>(destSize) : 0;
  if (kind < 0 || kind > 4) throw EKyvError(kMsgUnsupportedKind);
  if (dest == nullptr) throw EKyvError(kMsgNoDestination);

  switch (kind) {
    case 0:  // ckNone
      if (length > capacity) throw EKyvError(kMsgOutputTooSmall);
      std::memcpy(dest, src, length);
      return srcLen;
    case 1:  // ckJpeg
      return DecodeJpeg(src, length, dest, capacity);
    case 2:  // ckLzo
      return DecodeLzo(src, length, dest, capacity);
    case 3:  // ckZlib
      return DecodeZlib(src, length, dest, capacity);
    default:  // ckBitmap58
      if (length < kBitmap58Bytes) throw EKyvError(kMsgBitmap58TooShort);
      if (capacity < kBitmap58Bytes) throw EKyvError(kMsgOutputTooSmall);
      std::memcpy(dest, src, kBitmap58Bytes);
      return 0;
  }
}

}  // namespace

}  // namespace kyv

using kyv::Guarded;
using kyv::TDecoderState;

extern "C" {

bool InitDecoder(void) {
  return Guarded(false, [] { return TDecoderState::Instance().Init(); });
}

bool UninitDecoder(void) {
  return Guarded(true, [] {
    TDecoderState::Instance().Uninit();
    return true;
  });
}

void LockDecoder(void) {
  Guarded(0, [] {
    TDecoderState::Instance().Lock();
    return 0;
  });
}

void UnlockDecoder(void) {
  Guarded(0, [] {
    TDecoderState::Instance().Unlock();
    return 0;
  });
}

int32_t UnZipBuffer(const void* Src, int32_t SrcLen, int16_t Kind, void* Dest, int32_t DestSize) {
  return Guarded(int32_t{-1}, [&] { return kyv::UnZip(Src, SrcLen, Kind, Dest, DestSize); });
}

int32_t UnZipBufferEx(const void* Src, int32_t SrcLen, int16_t Kind, void** Dest,
                      int32_t DestSize) {
  return Guarded(int32_t{-1}, [&] {
    if (Src == nullptr || SrcLen == 0) return int32_t{0};
    if (Dest == nullptr) throw kyv::EKyvError(kyv::kMsgNoDestination);
    auto& state = TDecoderState::Instance();
    state.Lock();
    struct TUnlock {
      ~TUnlock() { TDecoderState::Instance().Unlock(); }
    } unlock;
    if (*Dest == nullptr) {
      *Dest = state.SharedOutput();
      DestSize = static_cast<int32_t>(kyv::kMaxDecodedBytes);
    }
    return kyv::UnZip(Src, SrcLen, Kind, *Dest, DestSize);
  });
}

bool CheckKyvFileHeader(const void* Header) {
  if (Header == nullptr) return false;
  const auto* p = static_cast<const uint8_t*>(Header);
  kyv::tFailed = false;
  return p[0] == 0x41 && p[1] == 0x56;
}

int32_t Decompress(const void* Src, int32_t SrcLen, void* Dest) {
  return Guarded(int32_t{-1}, [&] {
    if (SrcLen < 0) throw kyv::EKyvError(kyv::kMsgBadSourceLength);
    if (Dest == nullptr) throw kyv::EKyvError(kyv::kMsgNoDestination);
    // The exported form has no output size; it is bounded by the shared output buffer that
    // every caller in this library decodes into.
    return kyv::DecodeLzo(static_cast<const uint8_t*>(Src), static_cast<size_t>(SrcLen),
                          static_cast<uint8_t*>(Dest), kyv::kMaxDecodedBytes);
  });
}

const char* KyvDecoderLastError(void) {
  return kyv::tFailed ? kyv::tLastError.c_str() : nullptr;
}

}  // extern "C"
