#pragma once

namespace kyv {

// The decoder's failure texts, byte for byte what callers and logs show.
inline constexpr char kMsgNotInitialised[] = "尚未调用 InitDecoder";
inline constexpr char kMsgUnsupportedKind[] = "不支持这种图象压缩格式!";
inline constexpr char kMsgJpegDamaged[] = "JPEG 文件被损坏";
inline constexpr char kMsgOutputTooSmall[] = "输出缓冲区太小";
inline constexpr char kMsgJpegDecodeFailed[] = "JPEG 解压缩失败";
inline constexpr char kMsgJpegErrorFormat[] = "JPEG error #%d";
inline constexpr char kMsgZlibError[] = "Error";
inline constexpr char kMsgZlibTargetTooSmall[] = "ZLib error: target buffer may be too small";

// Refusals of payloads that would otherwise read or write outside their buffers.
inline constexpr char kMsgBitmap58TooShort[] = "位图数据少于 58 字节";
inline constexpr char kMsgBadSourceLength[] = "源数据长度无效";
inline constexpr char kMsgNoDestination[] = "目标缓冲区为空";
inline constexpr char kMsgZlibImageTooShort[] = "ZLib error: decoded image is shorter than its header";
inline constexpr char kMsgZlibImageSizeWrong[] = "ZLib error: decoded image is shorter than its bfSize";
inline constexpr char kMsgLzoTargetTooSmall[] = "LZO error: target buffer may be too small";
inline constexpr char kMsgLzoDamaged[] = "LZO error: damaged stream";
inline constexpr char kMsgLockNotHeld[] = "UnlockDecoder: the decoder lock is not held by this thread";

}  // namespace kyv
