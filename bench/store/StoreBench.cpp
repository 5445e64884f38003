// Throughput of the frames buffer's hot path (a reader adding, the play thread peeking the next
// record into its reusable buffer and discarding what was played), with the heap allocations
// counted per frame.
#include <benchmark/benchmark.h>

#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "store/FramesBuffer.h"

namespace kyv {
namespace {

TFrameRecord Frame(uint32_t time, uint32_t payload, bool key) {
  TFrameHeader header{};
  header.Time = time;
  header.FrameType = key ? ftKeyFrame : ftXorRect;
  header.DataSize = payload;
  TFrameRecord record = TFrameRecord::Allocate(header);
  std::fill(record.Data().begin(), record.Data().end(), uint8_t{0x5A});
  return record;
}

// PeekNext alone over a buffer of records of one size: once the play thread's buffer has grown,
// no frame allocates.
void BM_PeekNext(benchmark::State& state) {
  const auto payload = static_cast<uint32_t>(state.range(0));
  TFramesBuffer buffer;
  for (uint32_t t = 0; t < 256; ++t) buffer.Add(Frame(t * 40, payload, t % 25 == 0));
  TRecordBuffer play(512000);
  int64_t frames = 0;
  const int64_t before = bench::AllocationCount();
  for (auto _ : state) {
    if (!buffer.PeekNext(play)) {
      buffer.SetCurrentIndex(-1);
      continue;
    }
    buffer.SetCurrentIndex(buffer.CurrentIndex() + 1);
    ++frames;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(bench::AllocationCount() - before) / static_cast<double>(frames);
  state.SetItemsProcessed(frames);
  state.SetBytesProcessed(frames * (payload + 28));
}
BENCHMARK(BM_PeekNext)->Arg(200)->Arg(4 << 10)->Arg(64 << 10)->Arg(600 << 10);

// The whole path of one frame: the reader's record block, Add, PeekNext, advancing, and
// DiscardPlayed whenever the buffer is full. The one allocation per frame is the record itself.
void BM_AddPeekDiscard(benchmark::State& state) {
  const auto payload = static_cast<uint32_t>(state.range(0));
  TFramesBuffer buffer;
  TRecordBuffer play(512000);
  uint32_t time = 0;
  int64_t frames = 0;
  // Warm up until the list's own storage has reached its steady size.
  for (int i = 0; i < 4000; ++i) {
    buffer.Add(Frame(time, payload, time % 1000 == 0));
    time += 40;
    buffer.PeekNext(play);
    buffer.SetCurrentIndex(buffer.CurrentIndex() + 1);
    if (buffer.IsFull()) buffer.DiscardPlayed(false);
  }
  const int64_t before = bench::AllocationCount();
  for (auto _ : state) {
    buffer.Add(Frame(time, payload, time % 1000 == 0));
    time += 40;
    buffer.PeekNext(play);
    buffer.SetCurrentIndex(buffer.CurrentIndex() + 1);
    if (buffer.IsFull()) buffer.DiscardPlayed(false);
    ++frames;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(bench::AllocationCount() - before) / static_cast<double>(frames);
  state.counters["held"] = static_cast<double>(buffer.Count());
  state.SetItemsProcessed(frames);
  state.SetBytesProcessed(frames * (payload + 28));
}
BENCHMARK(BM_AddPeekDiscard)->Arg(200)->Arg(4 << 10)->Arg(64 << 10)->Arg(600 << 10);

}  // namespace
}  // namespace kyv

BENCHMARK_MAIN();
