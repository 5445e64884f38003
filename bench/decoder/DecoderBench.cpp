// UnZipBuffer for each payload kind beside the floor of the same work done by a direct library
// call in the same run: uncompress, lzo1x_decompress_safe, libjpeg into a plain buffer, memcpy.
// The summary prints our time over the floor's for each kind and size.
#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// libjpeg's header needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "decoder/DecoderCalls.h"
#include "decoder/DecoderExports.h"
#include "writer/BitmapWriter.h"
#include "writer/PayloadEncoder.h"
#include "writer/SampleGenerator.h"

namespace kyv {
namespace {

struct TInput {
  std::string Name;
  TCompression Kind;
  std::vector<uint8_t> Payload;
  size_t DecodedSize;
  int Width, Height;
};

// A screen after some seconds of the sample desktop, and a 200x100 piece of it with text.
const std::vector<TInput>& Inputs() {
  static const std::vector<TInput> inputs = [] {
    TSampleOptions options;
    options.Width = 1920;
    options.Height = 1080;
    options.Seconds = 4;
    options.NailInterval = 0;
    TSampleGenerator generator(options);
    TSampleFrame frame;
    while (generator.Next(frame)) {
    }
    const TPixels24 screen = generator.Screen();
    const TPixels24 rect = screen.Crop(100, 100, 200, 100);
    std::vector<TInput> all;
    for (const auto& [size, picture] : {std::pair{"1920x1080", &screen}, std::pair{"200x100", &rect}}) {
      const size_t decoded = EncodeBitmapFile(*picture, 24).size();
      for (auto [name, kind] : {std::pair{"none", ckNone}, std::pair{"jpeg", ckJpeg},
                                std::pair{"lzo", ckLzo}, std::pair{"zlib", ckZlib}})
        all.push_back({std::string(name) + "/" + size, kind, EncodePayload(*picture, kind),
                       decoded, picture->Width, picture->Height});
    }
    return all;
  }();
  return inputs;
}

std::vector<uint8_t>& Output() {
  static std::vector<uint8_t> out(KYV_SHARED_OUTPUT_SIZE);
  return out;
}

void BM_UnZipBuffer(benchmark::State& state, const TInput* input) {
  static TDecoderUsage usage;
  auto& out = Output();
  for (auto _ : state) {
    const int32_t n = UnZip(input->Payload.data(), static_cast<int32_t>(input->Payload.size()),
                            input->Kind, out.data(), static_cast<int32_t>(out.size()));
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->DecodedSize));
}

void JpegFloor(const TInput& input, uint8_t* out) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, input.Payload.data(), input.Payload.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_IFAST;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  const size_t stride = (static_cast<size_t>(cinfo.output_width) * 3 + 3) & ~size_t{3};
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out + 54 + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

void BM_Floor(benchmark::State& state, const TInput* input) {
  auto& out = Output();
  lzo_init();
  for (auto _ : state) {
    switch (input->Kind) {
      case ckNone:
        std::memcpy(out.data(), input->Payload.data(), input->Payload.size());
        break;
      case ckZlib: {
        uLongf length = out.size();
        uncompress(out.data(), &length, input->Payload.data(), input->Payload.size());
        break;
      }
      case ckLzo: {
        lzo_uint length = out.size();
        lzo1x_decompress_safe(input->Payload.data(), input->Payload.size(), out.data(), &length,
                              nullptr);
        break;
      }
      default:
        JpegFloor(*input, out.data());
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->DecodedSize));
}

// Keeps each run's time per iteration so that the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) Times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> Times;
};

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  using namespace kyv;
  for (const TInput& input : Inputs()) {
    benchmark::RegisterBenchmark(("UnZipBuffer/" + input.Name).c_str(), BM_UnZipBuffer, &input);
    benchmark::RegisterBenchmark(("Floor/" + input.Name).c_str(), BM_Floor, &input);
  }
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-20s %12s %12s %8s\n", "payload", "UnZipBuffer", "floor", "ratio");
  for (const TInput& input : Inputs()) {
    const auto ours = reporter.Times.find("UnZipBuffer/" + input.Name);
    const auto floor = reporter.Times.find("Floor/" + input.Name);
    if (ours == reporter.Times.end() || floor == reporter.Times.end()) continue;
    std::printf("%-20s %12.1f %12.1f %8.3f\n", input.Name.c_str(), ours->second, floor->second,
                ours->second / floor->second);
  }
  benchmark::Shutdown();
  return 0;
}
