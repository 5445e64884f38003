// ApplyFrame for each kind of picture change beside the floor of the same work: one memcpy of
// the bytes the change writes into the picture, measured in the same run. The summary prints
// our time over the floor's for each kind.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "picture/BackBuffer.h"
#include "picture/MouseArrow.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

constexpr int kScreenW = 1920, kScreenH = 1080, kRectW = 200, kRectH = 100;

TPixels24 Scene(int width, int height, int colours) {
  TPixels24 picture(width, height);
  uint32_t state = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      picture.SetColour(x, y, ((state >> 8) % colours) * 0x010305u);
    }
  return picture;
}

struct TFrame {
  TFrameHeader Header{};
  std::vector<uint8_t> Image;
};

TFrame MakeFrame(int16_t type, int left, int top, const TPixels24& picture, int bits) {
  TFrame f;
  f.Image = EncodeBitmapFile(picture, bits);
  f.Header.FrameType = type;
  f.Header.Left = static_cast<uint16_t>(left);
  f.Header.Top = static_cast<uint16_t>(top);
  f.Header.DataSize = static_cast<uint32_t>(f.Image.size());
  return f;
}

// A back buffer showing a screen, with the cursor painted away from the rectangles.
TBackBuffer& Buffer() {
  static TBackBuffer* buffer = [] {
    auto* b = new TBackBuffer;
    b->SetSize(kScreenW, kScreenH);
    TFrame key = MakeFrame(ftKeyFrame, 0, 0, Scene(kScreenW, kScreenH, 200), 24);
    key.Header.MouseX = 1500;
    key.Header.MouseY = 900;
    b->ApplyFrame(key.Header, key.Image.data(), key.Image.size());
    return b;
  }();
  return *buffer;
}

void RunFrames(benchmark::State& state, const std::vector<TFrame>& frames, size_t bytes) {
  TBackBuffer& buffer = Buffer();
  size_t i = 0;
  TRect dirty;
  for (auto _ : state) {
    const TFrame& f = frames[i++ % frames.size()];
    buffer.Lock();
    buffer.ApplyFrame(f.Header, f.Image.data(), f.Image.size());
    buffer.Unlock();
    buffer.GetDirtyRect(dirty, true);
    benchmark::DoNotOptimize(dirty);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void Floor(benchmark::State& state, size_t bytes) {
  std::vector<uint8_t> src(bytes, 7), dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

constexpr size_t kScreenBytes = size_t{kScreenW} * kScreenH * 3;
constexpr size_t kRectBytes = size_t{kRectW} * kRectH * 3;
// Restoring the old background, saving the new one and painting the cursor.
constexpr size_t kCursorBytes = 3 * size_t{kArrowSize} * kArrowSize * 3;

void BM_KeyFrame24(benchmark::State& state) {
  static const std::vector<TFrame> frames = {
      MakeFrame(ftKeyFrame, 0, 0, Scene(kScreenW, kScreenH, 200), 24)};
  RunFrames(state, frames, kScreenBytes);
}

void BM_CopyRect24(benchmark::State& state) {
  static const std::vector<TFrame> frames = {
      MakeFrame(ftCopyRect, 100, 100, Scene(kRectW, kRectH, 200), 24)};
  RunFrames(state, frames, kRectBytes);
}

void BM_XorRect24(benchmark::State& state) {
  static const std::vector<TFrame> frames = {
      MakeFrame(ftXorRect, 100, 100, Scene(kRectW, kRectH, 200), 24)};
  RunFrames(state, frames, kRectBytes);
}

void BM_PaletteRect8(benchmark::State& state) {
  static const std::vector<TFrame> frames = {
      MakeFrame(ftCopyRect, 100, 100, Scene(kRectW, kRectH, 200), 8)};
  RunFrames(state, frames, kRectBytes);
}

void BM_CursorMove(benchmark::State& state) {
  static const std::vector<TFrame> frames = [] {
    std::vector<TFrame> f(2);
    for (int i = 0; i < 2; ++i) {
      f[i].Header.FrameType = ftCursor;
      f[i].Header.Left = static_cast<uint16_t>(800 + 60 * i);
      f[i].Header.Top = 500;
    }
    return f;
  }();
  RunFrames(state, frames, kCursorBytes);
}

void BM_Floor_KeyFrame24(benchmark::State& state) {
  Floor(state, kScreenBytes);
}
void BM_Floor_CopyRect24(benchmark::State& state) {
  Floor(state, kRectBytes);
}
void BM_Floor_XorRect24(benchmark::State& state) {
  Floor(state, kRectBytes);
}
void BM_Floor_PaletteRect8(benchmark::State& state) {
  Floor(state, kRectBytes);
}
void BM_Floor_CursorMove(benchmark::State& state) {
  Floor(state, kCursorBytes);
}

BENCHMARK(BM_KeyFrame24);
BENCHMARK(BM_Floor_KeyFrame24);
BENCHMARK(BM_CopyRect24);
BENCHMARK(BM_Floor_CopyRect24);
BENCHMARK(BM_XorRect24);
BENCHMARK(BM_Floor_XorRect24);
BENCHMARK(BM_PaletteRect8);
BENCHMARK(BM_Floor_PaletteRect8);
BENCHMARK(BM_CursorMove);
BENCHMARK(BM_Floor_CursorMove);

void PrintRatios(const bench::TRatioReporter& reporter) {
  std::printf("\nApplyFrame time over the memcpy floor of the same bytes:\n");
  for (const char* kind : {"KeyFrame24", "CopyRect24", "XorRect24", "PaletteRect8", "CursorMove"}) {
    const double ours = reporter.Time(std::string("BM_") + kind);
    const double floor = reporter.Time(std::string("BM_Floor_") + kind);
    if (ours <= 0 || floor <= 0) continue;
    std::printf("  %-14s %10.1f us  floor %10.1f us  ratio %.2f\n", kind, ours / 1e3, floor / 1e3,
                ours / floor);
  }
}

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  return kyv::bench::RunWithSummary(argc, argv, kyv::PrintRatios);
}
