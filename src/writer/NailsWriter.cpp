#include "writer/NailsWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Errors.h"
#include "writer/PayloadEncoder.h"

namespace kyv {

namespace {

void WriteWholeFile(const std::filesystem::path& path, const void* data, size_t size) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) throw EKyvError("Cannot create " + path.string() + ": " + std::strerror(errno));
  if (size != 0 && std::fwrite(data, 1, size, file.get()) != size)
    throw EKyvError("Cannot write " + path.string() + ": " + std::strerror(errno));
  if (std::fclose(file.release()) != 0)
    throw EKyvError("Cannot close " + path.string() + ": " + std::strerror(errno));
}

// Each target pixel is the mean of the source pixels it covers (the nearest one when enlarging).
TPixels24 Shrink(const TPixels24& source, int width, int height) {
  TPixels24 result(width, height);
  for (int y = 0; y < height; ++y) {
    const int sy0 = static_cast<int>(int64_t{y} * source.Height / height);
    const int sy1 = std::max(sy0 + 1, static_cast<int>(int64_t{y + 1} * source.Height / height));
    for (int x = 0; x < width; ++x) {
      const int sx0 = static_cast<int>(int64_t{x} * source.Width / width);
      const int sx1 = std::max(sx0 + 1, static_cast<int>(int64_t{x + 1} * source.Width / width));
      uint64_t sum[3] = {0, 0, 0};
      for (int sy = sy0; sy < sy1; ++sy)
        for (int sx = sx0; sx < sx1; ++sx) {
          const uint8_t* p = source.Pixel(sx, sy);
          for (int c = 0; c < 3; ++c) sum[c] += p[c];
        }
      const uint64_t count = static_cast<uint64_t>(sy1 - sy0) * static_cast<uint64_t>(sx1 - sx0);
      uint8_t* q = result.Pixel(x, y);
      for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
    }
  }
  return result;
}

}  // namespace

TNailsWriter::TNailsWriter(const std::filesystem::path& dir, int nailWidth, int quality)
    : FDir(dir), FNailWidth(nailWidth), FQuality(quality) {
  if (nailWidth < 1) throw EKyvError("A thumbnail needs at least one pixel each way");
  std::error_code error;
  std::filesystem::create_directories(FDir / "nails", error);
  if (error) throw EKyvError("Cannot create " + (FDir / "nails").string() + ": " + error.message());
}

void TNailsWriter::Add(uint32_t time, const TPixels24& screen) {
  if (screen.Width < 1 || screen.Height < 1) throw EKyvError("A thumbnail of an empty screen");
  if (!FEntries.empty() && time < FEntries.back().first)
    throw EKyvError("Thumbnail times must not decrease");
  const int height = std::max(
      1, static_cast<int>((int64_t{FNailWidth} * screen.Height + screen.Width / 2) / screen.Width));
  char name[32];
  std::snprintf(name, sizeof name, "%04zu.jpg", FEntries.size() + 1);
  TJpegOptions options;
  options.Quality = FQuality;
  options.Layout = TJpegLayout::jlUpright;
  const std::vector<uint8_t> jpeg = EncodeJpeg(Shrink(screen, FNailWidth, height), options);
  WriteWholeFile(FDir / "nails" / name, jpeg.data(), jpeg.size());
  FEntries.emplace_back(time, name);
}

void TNailsWriter::Finish() {
  std::string text;
  for (const auto& [time, name] : FEntries) text += std::to_string(time) + "=" + name + "\r\n";
  WriteWholeFile(FDir / "nails.xml", text.data(), text.size());
}

}  // namespace kyv
