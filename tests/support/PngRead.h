#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kyv::test {

// Reads a PNG file back as top-down blue, green, red rows without padding. Link PNG::PNG.
inline bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& bgr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGR;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  bgr.assign(PNG_IMAGE_SIZE(image), 0);
  return png_image_finish_read(&image, nullptr, bgr.data(), 0, nullptr) != 0;
}

}  // namespace kyv::test
