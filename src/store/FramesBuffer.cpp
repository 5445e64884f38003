#include "store/FramesBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Errors.h"

namespace kyv {

TFramesBuffer::TFramesBuffer() = default;

TFramesBuffer::~TFramesBuffer() = default;

int32_t TFramesBuffer::Add(TFrameRecord Frame) {
  if (!Frame) throw EKyvError("Empty frame record added to the frames buffer");
  const int64_t size = static_cast<int64_t>(Frame.Size());
  const bool key = Frame.IsKeyFrame();
  std::lock_guard guard(FLock);
  if (key) FKeyNumbers.push_back(FFirstNumber + FList.size());
  FList.push_back(std::move(Frame));
  FTotalBytes.fetch_add(size, std::memory_order_release);
  FFrameCount.fetch_add(1, std::memory_order_release);
  if (key) FKeyFrameCount.fetch_add(1, std::memory_order_release);
  return static_cast<int32_t>(FList.size() - 1);
}

int32_t TFramesBuffer::IndexOfTime(uint32_t& T, bool Exact) {
  std::lock_guard guard(FLock);
  const size_t count = FList.size();
  if (count == 0) return -1;
  if (count == 1) return FList[0].Time() == T ? 0 : -1;
  if (FList.back().Time() < T) return -1;
  for (size_t i = 1; i < count; ++i) {
    const uint32_t prev = FList[i - 1].Time();
    const uint32_t cur = FList[i].Time();
    // cur is tested before prev, so two leading records carrying T give 1.
    if (cur == T) return static_cast<int32_t>(i);
    if (prev == T) return static_cast<int32_t>(i - 1);
    if (!Exact && prev < T && T < cur) {
      T = prev;
      return static_cast<int32_t>(i - 1);
    }
  }
  return -1;
}

bool TFramesBuffer::IsFull() const noexcept {
  return FTotalBytes.load(std::memory_order_acquire) >= kFullBytes &&
         FKeyFrameCount.load(std::memory_order_acquire) >= kFullKeyFrames;
}

void TFramesBuffer::DiscardPlayed(bool ToEnd) {
  std::lock_guard guard(FLock);
  const int32_t count = static_cast<int32_t>(FList.size());
  const int32_t current = FCurrentIndex.load(std::memory_order_relaxed);
  // A current index past the end (the list was cleared under the play thread) starts at the
  // last record rather than outside the list.
  const int32_t start = ToEnd ? count - 1 : std::min(current, count - 1);
  const int32_t key = std::max(KeyFrameAtOrBefore(start), 0);
  RemoveFirst(static_cast<size_t>(key));
  FCurrentIndex.store(ToEnd ? -1 : current - key, std::memory_order_release);
  if (ToEnd) FCuts.fetch_add(1, std::memory_order_acq_rel);
}

int32_t TFramesBuffer::KeyFrameAtOrBefore(int32_t Index) const {
  if (Index < 0 || FKeyNumbers.empty()) return -1;
  const uint64_t number = FFirstNumber + static_cast<uint64_t>(Index);
  auto after = std::upper_bound(FKeyNumbers.begin(), FKeyNumbers.end(), number);
  if (after == FKeyNumbers.begin()) return -1;
  return static_cast<int32_t>(*std::prev(after) - FFirstNumber);
}

int32_t TFramesBuffer::LastKeyFrameIndex() const {
  std::lock_guard guard(FLock);
  return FKeyNumbers.empty() ? -1 : static_cast<int32_t>(FKeyNumbers.back() - FFirstNumber);
}

void TFramesBuffer::RemoveFirst(size_t Count) {
  if (Count == 0) return;
  int64_t bytes = 0;
  for (size_t i = 0; i < Count; ++i) bytes += static_cast<int64_t>(FList[i].Size());
  FList.erase(FList.begin(), FList.begin() + static_cast<ptrdiff_t>(Count));
  FFirstNumber += Count;
  int32_t keys = 0;
  while (!FKeyNumbers.empty() && FKeyNumbers.front() < FFirstNumber) {
    FKeyNumbers.pop_front();
    ++keys;
  }
  FTotalBytes.fetch_sub(bytes, std::memory_order_release);
  FFrameCount.fetch_sub(static_cast<int32_t>(Count), std::memory_order_release);
  FKeyFrameCount.fetch_sub(keys, std::memory_order_release);
}

void TFramesBuffer::Clear() {
  std::lock_guard guard(FLock);
  FFirstNumber += FList.size();
  FList.clear();
  FKeyNumbers.clear();
  FCuts.fetch_add(1, std::memory_order_acq_rel);
  FTotalBytes.store(0, std::memory_order_release);
  FFrameCount.store(0, std::memory_order_release);
  FKeyFrameCount.store(0, std::memory_order_release);
  FCurrentIndex.store(-1, std::memory_order_release);
}

uint32_t TFramesBuffer::FirstTime() const {
  std::lock_guard guard(FLock);
  return FList.empty() ? 0 : FList.front().Time();
}

uint32_t TFramesBuffer::LastTime() const {
  std::lock_guard guard(FLock);
  return FList.empty() ? 0 : FList.back().Time();
}

int32_t TFramesBuffer::Count() const {
  std::lock_guard guard(FLock);
  return static_cast<int32_t>(FList.size());
}

bool TFramesBuffer::PeekNext(TRecordBuffer& Buf) {
  std::lock_guard guard(FLock);
  const int64_t next = static_cast<int64_t>(FCurrentIndex.load(std::memory_order_relaxed)) + 1;
  if (next < 0 || next >= static_cast<int64_t>(FList.size())) return false;
  Buf.Assign(FList[static_cast<size_t>(next)].View());
  return true;
}

void TFramesBuffer::SaveToFile(const std::string& FileName) const {
  std::string text;
  {
    std::lock_guard guard(FLock);
    text.reserve(FList.size() * 20);
    char line[48];
    for (size_t i = 0; i < FList.size(); ++i) {
      const int n = std::snprintf(line, sizeof line, "%zu,%u%s\r\n", i, FList[i].Time(),
                                  FList[i].IsKeyFrame() ? ",Key" : "");
      text.append(line, static_cast<size_t>(n));
    }
  }
  const auto closer = [](std::FILE* f) { std::fclose(f); };
  std::unique_ptr<std::FILE, decltype(closer)> file(std::fopen(FileName.c_str(), "wb"), closer);
  if (!file) throw EKyvError("Cannot create file \"" + FileName + "\": " + std::strerror(errno));
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
      std::fclose(file.release()) != 0)
    throw EKyvError("Cannot write file \"" + FileName + "\": " + std::strerror(errno));
}

void TFramesBuffer::SetCurrentIndex(int32_t Index) {
  std::lock_guard guard(FLock);
  FCurrentIndex.store(Index, std::memory_order_release);
}

TFrameView TFramesBuffer::Items(int32_t Index) const {
  std::lock_guard guard(FLock);
  KYV_ASSERT(Index >= 0 && static_cast<size_t>(Index) < FList.size());
  return FList[static_cast<size_t>(Index)].View();
}

}  // namespace kyv
