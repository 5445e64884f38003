#include "writer/PayloadEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include <jpeglib.h>
#include <lzo/lzo1x.h>
#include <zlib.h>

#include "decoder/Limits.h"
#include "platform/Errors.h"
#include "writer/BitmapWriter.h"

namespace kyv {

namespace {

void InitLzoOnce() {
  static std::once_flag once;
  static int status = LZO_E_OK;
  std::call_once(once, [] { status = lzo_init(); });
  if (status != LZO_E_OK) throw EKyvError("EncodeLzo: lzo_init failed");
}

// libjpeg reports fatal errors through error_exit, which must not return; it jumps back to the
// encoder, which then frees the compressor and raises.
struct TJpegErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
  manager->Base.format_message(info, manager->Message);
  std::longjmp(manager->Jump, 1);
}

uint8_t Luminance(const uint8_t* bgr) {
  return static_cast<uint8_t>((bgr[0] * 1868 + bgr[1] * 9617 + bgr[2] * 4899 + 8192) >> 14);
}

// Everything that can fail inside libjpeg happens here, without C++ objects that a longjmp
// would skip; rows are filled by the caller's row function into a buffer it owns.
bool CompressJpeg(jpeg_compress_struct& cinfo, TJpegErrorManager& errors, const TPixels24& picture,
                  const TJpegOptions& options, uint8_t* row, unsigned char** out,
                  unsigned long* outSize) {
  if (setjmp(errors.Jump)) return false;
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(picture.Width);
  cinfo.image_height = static_cast<JDIMENSION>(picture.Height);
  if (options.Greyscale) {
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
  } else {
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
  }
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.Quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const bool bottomFirst = options.Layout == TJpegLayout::jlRecording;
  while (cinfo.next_scanline < cinfo.image_height) {
    const int line = static_cast<int>(cinfo.next_scanline);
    const int y = bottomFirst ? picture.Height - 1 - line : line;
    const uint8_t* source = picture.Pixel(0, y);
    JSAMPROW rows[1];
    if (options.Greyscale) {
      for (int x = 0; x < picture.Width; ++x) row[x] = Luminance(source + x * 3);
      rows[0] = row;
    } else {
      rows[0] = const_cast<JSAMPROW>(source);
    }
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeZlib(const uint8_t* bitmapFile, size_t size, int level) {
  uLongf bound = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(bound);
  const int result = compress2(out.data(), &bound, bitmapFile, static_cast<uLong>(size), level);
  if (result != Z_OK)
    throw EKyvError("EncodeZlib: compress2 failed with " + std::to_string(result));
  out.resize(bound);
  return out;
}

std::vector<uint8_t> EncodeLzo(const uint8_t* bitmapFile, size_t size) {
  InitLzoOnce();
  std::vector<uint8_t> out(size + size / 16 + 64 + 3);
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  lzo_uint outSize = 0;
  const int result =
      lzo1x_1_compress(bitmapFile, static_cast<lzo_uint>(size), out.data(), &outSize, work.data());
  if (result != LZO_E_OK)
    throw EKyvError("EncodeLzo: lzo1x_1_compress failed with " + std::to_string(result));
  out.resize(outSize);
  return out;
}

std::vector<uint8_t> EncodeBitmap58(const uint8_t* bitmapFile, size_t size) {
  if (size != kBitmap58Bytes)
    throw EKyvError("EncodeBitmap58: the image is " + std::to_string(size) + " bytes long, not 58");
  return std::vector<uint8_t>(bitmapFile, bitmapFile + size);
}

std::vector<uint8_t> EncodeBitmap58(uint32_t colour) {
  const std::vector<uint8_t> image = EncodeBitmapFile(TPixels24(1, 1, colour), 24);
  return EncodeBitmap58(image.data(), image.size());
}

std::vector<uint8_t> EncodeJpeg(const TPixels24& picture, const TJpegOptions& options) {
  if (picture.Width < 1 || picture.Height < 1 || picture.Width > JPEG_MAX_DIMENSION ||
      picture.Height > JPEG_MAX_DIMENSION)
    throw EKyvError("EncodeJpeg: a JPEG cannot be " + std::to_string(picture.Width) + " x " +
                    std::to_string(picture.Height) + " pixels");
  if (options.Quality < 1 || options.Quality > 100)
    throw EKyvError("EncodeJpeg: quality " + std::to_string(options.Quality) + " is not 1 to 100");

  jpeg_compress_struct cinfo{};
  TJpegErrorManager errors{};
  cinfo.err = jpeg_std_error(&errors.Base);
  errors.Base.error_exit = JpegErrorExit;
  std::vector<uint8_t> row(static_cast<size_t>(picture.Width));
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  const bool done = CompressJpeg(cinfo, errors, picture, options, row.data(), &out, &outSize);
  jpeg_destroy_compress(&cinfo);
  // The memory destination allocates with malloc and leaves the block to its caller.
  std::unique_ptr<unsigned char, decltype(&std::free)> owned(out, &std::free);
  if (!done) throw EKyvError(std::string("EncodeJpeg: ") + errors.Message);
  return std::vector<uint8_t>(out, out + outSize);
}

std::vector<uint8_t> EncodeBitmapPayload(const uint8_t* bitmapFile, size_t size, TCompression kind,
                                         int zlibLevel) {
  switch (kind) {
    case ckNone:
      return std::vector<uint8_t>(bitmapFile, bitmapFile + size);
    case ckLzo:
      return EncodeLzo(bitmapFile, size);
    case ckZlib:
      return EncodeZlib(bitmapFile, size, zlibLevel);
    case ckBitmap58:
      return EncodeBitmap58(bitmapFile, size);
    default:
      throw EKyvError("EncodeBitmapPayload: compression " + std::to_string(kind) +
                      " does not take a bitmap file image");
  }
}

std::vector<uint8_t> EncodePayload(const TPixels24& picture, TCompression kind,
                                   const TPayloadOptions& options) {
  if (kind == ckJpeg) {
    TJpegOptions jpeg = options.Jpeg;
    jpeg.Layout = TJpegLayout::jlRecording;
    return EncodeJpeg(picture, jpeg);
  }
  const std::vector<uint8_t> image = EncodeBitmapFile(picture, options.BitCount, options.TopDown);
  if (kind == ckNone) return image;
  return EncodeBitmapPayload(image.data(), image.size(), kind, options.ZlibLevel);
}

}  // namespace kyv
