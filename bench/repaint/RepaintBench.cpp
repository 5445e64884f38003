// The repaint of the detail view: StretchBilinear reducing whole pictures beside libswscale's
// bilinear scaler and a memcpy of the destination's bytes, the 1:1 repaint beside a memcpy of
// the picture's rows, the full-screen repaint of a frame larger than the monitor, and the cost of
// painting a whole 1080p picture widget.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "picture/BackBuffer.h"
#include "picture/Repainter.h"
#include "picture/StretchBilinear.h"
#include "ui/DetailFrame.h"
#include "writer/BitmapWriter.h"

#ifdef KYV_HAVE_SWSCALE
extern "C" {
#include <libswscale/swscale.h>
}
#endif

namespace kyv {
namespace {

TDib Noise(int w, int h) {
  TDib dib(w, h);
  std::mt19937 rng(5);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) dib.Row(y)[x] = static_cast<uint8_t>(rng() >> 24);
  return dib;
}

struct TSize {
  int W, H;
};
constexpr TSize kSizes[] = {{1920, 1080}, {1024, 768}};

void BM_StretchBilinear(benchmark::State& state) {
  const TSize s = kSizes[state.range(0)];
  const TDib src = Noise(s.W, s.H);
  TDib dst(s.W / 2, s.H / 2);
  TStretchScratch scratch;
  for (auto _ : state) {
    StretchBilinear(src.Bits(), src.Stride(), s.W, s.H, {0, 0, s.W, s.H}, dst,
                    {0, 0, s.W / 2, s.H / 2}, scratch);
    benchmark::DoNotOptimize(dst.Bits());
  }
}

void BM_MemcpyDest(benchmark::State& state) {
  const TSize s = kSizes[state.range(0)];
  const TDib src = Noise(s.W / 2, s.H / 2);
  TDib dst(s.W / 2, s.H / 2);
  for (auto _ : state) {
    std::memcpy(dst.Bits(), src.Bits(), dst.SizeBytes());
    benchmark::DoNotOptimize(dst.Bits());
  }
}

#ifdef KYV_HAVE_SWSCALE
void BM_Swscale(benchmark::State& state) {
  const TSize s = kSizes[state.range(0)];
  const TDib src = Noise(s.W, s.H);
  TDib dst(s.W / 2, s.H / 2);
  SwsContext* sws = sws_getContext(s.W, s.H, AV_PIX_FMT_BGR24, s.W / 2, s.H / 2, AV_PIX_FMT_BGR24,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (sws == nullptr) {
    state.SkipWithError("sws_getContext failed");
    return;
  }
  const uint8_t* in[] = {src.Bits()};
  const int inStride[] = {src.Stride()};
  uint8_t* out[] = {dst.Bits()};
  const int outStride[] = {dst.Stride()};
  for (auto _ : state) {
    sws_scale(sws, in, inStride, 0, s.H, out, outStride);
    benchmark::DoNotOptimize(dst.Bits());
  }
  sws_freeContext(sws);
}
BENCHMARK(BM_Swscale)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
#endif

// A back buffer of 1920 x 1080 holding noise.
TBackBuffer& Buffer1080() {
  static TBackBuffer* buffer = [] {
    auto* b = new TBackBuffer;
    b->SetSize(1920, 1080);
    TPixels24 scene(1920, 1080);
    std::mt19937 rng(9);
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) scene.SetColour(x, y, rng() & 0xFFFFFF);
    const std::vector<uint8_t> image = EncodeBitmapFile(scene, 24);
    TFrameHeader header{};
    header.FrameType = ftKeyFrame;
    header.DataSize = static_cast<uint32_t>(image.size());
    std::lock_guard lock(*b);
    b->ApplyFrame(header, image.data(), image.size());
    return b;
  }();
  return *buffer;
}

void BM_Repaint1to1(benchmark::State& state) {
  TBackBuffer& buffer = Buffer1080();
  TDib picture(1920, 1080);
  TRepainter repainter;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        repainter.RepaintRect(buffer, picture, {0, 0, 1920, 1080}, dmOriginal, 100));
  }
}

void BM_MemcpyRows1080(benchmark::State& state) {
  TBackBuffer& buffer = Buffer1080();
  TDib picture(1920, 1080);
  for (auto _ : state) {
    std::lock_guard lock(buffer);
    for (int y = 0; y < 1080; ++y) std::memcpy(picture.Row(y), buffer.Picture().Row(y), 1920 * 3);
    benchmark::DoNotOptimize(picture.Bits());
  }
}

// A whole 1080p frame in the full-screen window of a 1280 x 1024 monitor: reduced to 66 % so that
// all of it shows, beside the 1:1 copy of only the part that fits.
void BM_FullScreenReduced(benchmark::State& state) {
  TBackBuffer& buffer = Buffer1080();
  TDib picture(1267, 712);
  TRepainter repainter;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        repainter.RepaintRect(buffer, picture, {0, 0, 1920, 1080}, dmAdaptive, 66));
  }
}

void BM_FullScreenTopLeft(benchmark::State& state) {
  TBackBuffer& buffer = Buffer1080();
  TDib picture(1267, 712);
  TRepainter repainter;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        repainter.RepaintRect(buffer, picture, {0, 0, 1920, 1080}, dmFull, 100));
  }
}

// What a paint of the whole picture costs: the widget draws its bitmap into a 32-bit surface,
// as a window's backing store is.
void BM_PaintWidget1080(benchmark::State& state) {
  TDetailFrame frame;
  frame.resize(1920, 1080);
  frame.SetScreen(1920, 1080, dmAdaptive);
  frame.RepaintRect(Buffer1080(), {0, 0, 1920, 1080});
  QImage surface(1920, 1080, QImage::Format_RGB32);
  for (auto _ : state) {
    frame.Picture().render(&surface);
    benchmark::DoNotOptimize(surface.bits());
  }
}

BENCHMARK(BM_StretchBilinear)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyDest)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Repaint1to1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyRows1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullScreenReduced)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullScreenTopLeft)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintWidget1080)->Unit(benchmark::kMicrosecond);

void PrintRatios(const bench::TRatioReporter& r) {
  std::printf("\nRatios of CPU times:\n");
  const char* names[] = {"1920x1080 -> 960x540", "1024x768 -> 512x384"};
  for (int i = 0; i < 2; ++i) {
    const std::string arg = "/" + std::to_string(i);
    const double ours = r.CpuTime("BM_StretchBilinear" + arg);
    const double copy = r.CpuTime("BM_MemcpyDest" + arg);
    const double sws = r.CpuTime("BM_Swscale" + arg);
    if (ours > 0 && copy > 0)
      std::printf("  StretchBilinear %s: %.1f us, %.1fx a memcpy of the destination\n", names[i],
                  ours, ours / copy);
    if (ours > 0 && sws > 0)
      std::printf("  StretchBilinear %s: %.2fx faster than libswscale bilinear (%.1f us)\n",
                  names[i], sws / ours, sws);
  }
  const double repaint = r.CpuTime("BM_Repaint1to1"), rows = r.CpuTime("BM_MemcpyRows1080");
  if (repaint > 0 && rows > 0)
    std::printf("  1:1 repaint of 1080p: %.2fx a memcpy of its rows\n", repaint / rows);
  if (const double paint = r.Time("BM_PaintWidget1080"); paint > 0)
    std::printf("  painting a whole 1080p picture widget: %.1f us (wall: Qt converts on threads)\n",
                paint);
}

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  // The widget benchmark needs no display.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  return kyv::bench::RunWithSummary(argc, argv, kyv::PrintRatios);
}
