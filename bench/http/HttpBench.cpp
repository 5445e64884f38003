// Reading a large file from nginx on loopback through the web stream in ranges of several
// sizes, beside the floor: one libcurl GET of the whole file, and the curl program doing the
// same. The C++ heap allocations per read are counted (libcurl's own use malloc and are not).
#include <benchmark/benchmark.h>

#include <curl/curl.h>
#include <stdlib.h>
#include "AllocationCounter.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "source/InternetStream.h"
#include "support/NginxServer.h"
#include "support/TempFolder.h"

namespace kyv {
namespace {

constexpr size_t kFileSize = 200u * 1024 * 1024;

struct TSetup {
  std::unique_ptr<test::TTempFolder> Folder;
  std::unique_ptr<test::TNginxServer> Server;
  std::string Url;
};

TSetup& Setup() {
  static TSetup setup;
  return setup;
}

void ReadInRanges(benchmark::State& state) {
  TSetup& setup = Setup();
  const size_t range = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> buffer(range);
  int64_t reads = 0;
  int64_t allocations = 0;
  for (auto _ : state) {
    TInternetStream stream(setup.Url);
    size_t total = 0;
    const int64_t before = bench::AllocationCount();
    for (;;) {
      const size_t n = stream.Read(buffer.data(), range);
      ++reads;
      total += n;
      if (n < range) break;
    }
    allocations += bench::AllocationCount() - before;
    if (total != kFileSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  state.counters["reads"] =
      benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kAvgIterations);
  state.counters["allocs/read"] = static_cast<double>(allocations) / static_cast<double>(reads);
}
BENCHMARK(ReadInRanges)
    ->Arg(32 * 1024)
    ->Arg(256 * 1024)
    ->Arg(1024 * 1024)
    ->Arg(4 * 1024 * 1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

size_t Discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

void CurlOneGet(benchmark::State& state) {
  TSetup& setup = Setup();
  for (auto _ : state) {
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, setup.Url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 256L * 1024);
    if (curl_easy_perform(handle) != CURLE_OK) state.SkipWithError("download failed");
    curl_easy_cleanup(handle);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(CurlOneGet)->Unit(benchmark::kMillisecond)->UseRealTime();

void CurlProgram(benchmark::State& state) {
  const std::string command = "curl -s -o /dev/null '" + Setup().Url + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(CurlProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kyv::TSetup& setup = kyv::Setup();
  setup.Folder = std::make_unique<kyv::test::TTempFolder>("kyv_bench_http");
  ::setenv("KYV_LOG_DIR", setup.Folder->Path().c_str(), 1);
  {
    std::vector<uint8_t> block(1 << 20);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    std::ofstream file(setup.Folder->Path() / "large.kyv", std::ios::binary);
    for (size_t written = 0; written < kyv::kFileSize; written += block.size()) {
      for (size_t i = 0; i < block.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(block.data() + i, &x, 8);
      }
      file.write(reinterpret_cast<const char*>(block.data()),
                 static_cast<std::streamsize>(block.size()));
    }
  }
  setup.Server = std::make_unique<kyv::test::TNginxServer>(setup.Folder->Path());
  if (!setup.Server->Started()) {
    std::fprintf(stderr, "bench_http: nginx is not available: %s\n",
                 setup.Server->Reason().c_str());
    return 0;
  }
  setup.Url = setup.Server->Url("large.kyv");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  setup.Server.reset();
  setup.Folder.reset();
  return 0;
}
