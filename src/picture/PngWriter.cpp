#include "picture/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/Errors.h"

namespace kyv {

namespace {

// libpng reports failures by longjmp; this frame holds only plain values so that nothing with a
// destructor is skipped. On failure returns false with the libpng message in message.
bool WritePng(const TDib& picture, FILE* file, char* message) {
  png_structp png = png_create_write_struct(
      PNG_LIBPNG_VER_STRING, message,
      [](png_structp p, png_const_charp text) {
        auto* out = static_cast<char*>(png_get_error_ptr(p));
        std::snprintf(out, 256, "%s", text);
        png_longjmp(p, 1);
      },
      [](png_structp, png_const_charp) {});
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()),
               static_cast<png_uint_32>(picture.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);  // the picture's pixels are blue, green, red
  for (int y = 0; y < picture.Height(); ++y) png_write_row(png, picture.Row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

void SavePng(const TDib& picture, const std::string& path) {
  if (picture.IsEmpty()) throw EKyvError("Cannot save an empty picture to " + path);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw EKyvError("Cannot create " + path + ": " + std::strerror(errno));
  char message[256] = "out of memory";
  const bool written = WritePng(picture, file, message);
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::remove(path.c_str());
    throw EKyvError("Cannot write " + path + ": " + (written ? "write failed" : message));
  }
}

}  // namespace kyv
