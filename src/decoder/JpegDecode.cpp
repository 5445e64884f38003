#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

// libjpeg's header needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "decoder/BitmapFormat.h"
#include "decoder/DecoderMessages.h"
#include "decoder/DecoderState.h"
#include "decoder/PayloadDecoders.h"
#include "platform/Errors.h"

namespace kyv {

namespace {

struct TJpegError {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
};

// libjpeg reports fatal errors through error_exit; it must not return, and unwinding a C++
// exception through libjpeg's C frames is not safe, so it jumps back to DecodeJpegPlain.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
}
void OutputMessage(j_common_ptr) {}
void EmitMessage(j_common_ptr, int) {}
void FormatMessage(j_common_ptr, char*) {}
void ResetErrorMgr(j_common_ptr cinfo) {
  cinfo->err->msg_code = 0;
  cinfo->err->num_warnings = 0;
}
void Progress(j_common_ptr) {}

// The source hands libjpeg the whole payload at once, in place. There is nothing more to read,
// so a request for more suspends the decoder, which then reports the data as damaged.
void InitSource(j_decompress_ptr) {}
boolean FillInputBuffer(j_decompress_ptr) { return FALSE; }
void SkipInputData(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  if (count <= 0) return;
  const size_t skip = static_cast<size_t>(count) < src->bytes_in_buffer
                          ? static_cast<size_t>(count)
                          : src->bytes_in_buffer;
  src->next_input_byte += skip;
  src->bytes_in_buffer -= skip;
}
void TermSource(j_decompress_ptr) {}

enum class TJpegOutcome { Ok, HeaderFailed, OutputTooSmall, DecodeFailed, LibraryError };

// Decodes the stream's bytes into dest. Only plain C objects live in this frame, because a
// libjpeg error leaves it by longjmp.
TJpegOutcome DecodeJpegPlain(TSuperMemoryStream& stream, uint8_t* dest, size_t destSize,
                             uint32_t* imageSize, int* errorCode) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  TJpegError error;
  cinfo.err = jpeg_std_error(&error.Pub);
  error.Pub.error_exit = ErrorExit;
  error.Pub.output_message = OutputMessage;
  error.Pub.emit_message = EmitMessage;
  error.Pub.format_message = FormatMessage;
  error.Pub.reset_error_mgr = ResetErrorMgr;
  jpeg_progress_mgr progress{};
  progress.progress_monitor = Progress;
  jpeg_source_mgr source{};
  source.init_source = InitSource;
  source.fill_input_buffer = FillInputBuffer;
  source.skip_input_data = SkipInputData;
  source.resync_to_restart = jpeg_resync_to_restart;
  source.term_source = TermSource;
  source.next_input_byte = stream.Memory() + stream.Position();
  source.bytes_in_buffer = stream.Size() - stream.Position();

  if (setjmp(error.Jump) != 0) {
    *errorCode = error.Pub.msg_code;
    jpeg_destroy_decompress(&cinfo);
    return TJpegOutcome::LibraryError;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.src = &source;
  cinfo.progress = &progress;

  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&cinfo);
    return TJpegOutcome::HeaderFailed;
  }
  const uint64_t width = cinfo.image_width;
  const uint64_t height = cinfo.image_height;
  const uint64_t stride = BitmapStride(width, 24);
  const uint64_t size = kBitmapHeadersSize + stride * height;
  if (size > destSize) {
    jpeg_destroy_decompress(&cinfo);
    return TJpegOutcome::OutputTooSmall;
  }

  const TBitmapFileHeader file{kBitmapType, static_cast<uint32_t>(size), 0, 0,
                               static_cast<uint32_t>(kBitmapHeadersSize)};
  TBitmapInfoHeader info{};
  info.biSize = TBitmapInfoHeader::kSize;
  info.biWidth = static_cast<int32_t>(width);
  info.biHeight = -static_cast<int32_t>(height);  // written top-down
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = kBiRgb;
  info.biSizeImage = static_cast<uint32_t>(stride * height);
  file.Write(dest);
  info.Write(dest + kBitmapInfoOffset);

  cinfo.scale_num = 1;
  cinfo.scale_denom = 1;
  cinfo.dct_method = JDCT_IFAST;
  cinfo.do_block_smoothing = TRUE;
  cinfo.quantize_colors = FALSE;
  // Grey and colour input alike come out as blue, green, red.
  cinfo.out_color_space = JCS_EXT_BGR;
  if (!jpeg_start_decompress(&cinfo) || cinfo.output_components != 3 ||
      cinfo.output_width != width || cinfo.output_height != height) {
    jpeg_destroy_decompress(&cinfo);
    return TJpegOutcome::DecodeFailed;
  }
  // The first scanline becomes the last row of the pixel area.
  uint8_t* const pixels = dest + kBitmapHeadersSize;
  const size_t pad = static_cast<size_t>(stride - width * 3);
  for (uint64_t y = 0; y < height; ++y) {
    JSAMPROW row = pixels + stride * (height - 1 - y);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
      jpeg_destroy_decompress(&cinfo);
      return TJpegOutcome::DecodeFailed;
    }
    if (pad != 0) std::memset(row + width * 3, 0, pad);
  }
  // A missing end marker after the last scanline does not spoil the picture.
  jpeg_finish_decompress(&cinfo);
  stream.Seek(stream.Size() - source.bytes_in_buffer);
  jpeg_destroy_decompress(&cinfo);
  *imageSize = static_cast<uint32_t>(size);
  return TJpegOutcome::Ok;
}

struct TLockedDecoder {
  TLockedDecoder() { TDecoderState::Instance().Lock(); }
  ~TLockedDecoder() { TDecoderState::Instance().Unlock(); }
  TLockedDecoder(const TLockedDecoder&) = delete;
  TLockedDecoder& operator=(const TLockedDecoder&) = delete;
};

}  // namespace

int32_t DecodeJpeg(const uint8_t* src, size_t srcLen, uint8_t* dest, size_t destSize) {
  TLockedDecoder lock;
  TSuperMemoryStream& stream = TDecoderState::Instance().Stream();
  stream.SetPointer(src, srcLen);

  uint32_t size = 0;
  int code = 0;
  switch (DecodeJpegPlain(stream, dest, destSize, &size, &code)) {
    case TJpegOutcome::Ok:
      return static_cast<int32_t>(size);
    case TJpegOutcome::HeaderFailed:
      throw EKyvError(kMsgJpegDamaged);
    case TJpegOutcome::OutputTooSmall:
      throw EKyvError(kMsgOutputTooSmall);
    case TJpegOutcome::DecodeFailed:
      throw EKyvError(kMsgJpegDecodeFailed);
    case TJpegOutcome::LibraryError: {
      char text[64];
      std::snprintf(text, sizeof text, kMsgJpegErrorFormat, code);
      throw EKyvError(text);
    }
  }
  throw EAssertionFailed("DecodeJpeg: unknown outcome");
}

}  // namespace kyv
