#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace kyv::station {

// One frame record of the served recording.
struct TStationFrame {
  size_t Offset = 0;  // of the record (header, then payload) in the recording's bytes
  size_t Size = 0;    // 28 + DataSize
  uint32_t Time = 0;
  bool Key = false;
};

// The recording that the station serves, held whole in memory so that every player and the
// multicast sender read it at no cost. Immutable once loaded, so any thread may read it.
class TStationRecording {
 public:
  // The most the station holds in memory.
  static constexpr uint64_t kMaxBytes = uint64_t{1} << 30;
  // The longest span from first to last frame time that the station loops.
  static constexpr uint32_t kMaxSpanMs = UINT32_MAX - 1000;

  // Reads and checks the recording; raises EKyvError naming what is wrong: a damaged container
  // or record, no frames, no key frame, more than kMaxBytes of records or a span above
  // kMaxSpanMs.
  explicit TStationRecording(const std::filesystem::path& Path);
  // From records already in memory (tests): Records holds them back to back.
  explicit TStationRecording(std::vector<uint8_t> Records, uint16_t Width = 0, uint16_t Height = 0);

  size_t Count() const noexcept { return FFrames.size(); }
  const TStationFrame& Frame(size_t Index) const { return FFrames.at(Index); }
  // The whole record of a frame.
  std::span<const uint8_t> Record(size_t Index) const;
  uint64_t TotalBytes() const noexcept { return FBytes.size(); }
  uint16_t Width() const noexcept { return FWidth; }
  uint16_t Height() const noexcept { return FHeight; }

  uint32_t FirstTime() const noexcept { return FFrames.front().Time; }
  // Milliseconds from the first frame of one loop to the first frame of the next: the span of
  // the recording and one mean frame interval (a single frame loops every second).
  uint32_t LoopPeriod() const noexcept { return FLoopPeriod; }
  size_t FirstKeyFrame() const noexcept { return FKeyFrames.front(); }
  size_t LastKeyFrame() const noexcept { return FKeyFrames.back(); }
  // The last key frame whose Time is at most Time; Count() when there is none.
  size_t KeyFrameAtOrBefore(uint32_t Time) const noexcept;

 private:
  void Load(const std::filesystem::path& Path);
  void Index();

  std::vector<uint8_t> FBytes;
  std::vector<TStationFrame> FFrames;
  std::vector<size_t> FKeyFrames;  // indices of key frames, in order
  uint32_t FLoopPeriod = 1000;
  uint16_t FWidth = 0;
  uint16_t FHeight = 0;
};

}  // namespace kyv::station
