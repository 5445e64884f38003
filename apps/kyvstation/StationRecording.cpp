#include "StationRecording.h"

#include <algorithm>
#include <string>

#include "decoder/FileFormat.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "writer/RecordingFile.h"

namespace kyv::station {

TStationRecording::TStationRecording(const std::filesystem::path& Path) {
  try {
    Load(Path);
    Index();
  } catch (const EKyvError& e) {
    // A reader code reads as the player's do: code, text, its English, and the reason.
    if (!e.Code()) throw EKyvError(Path.string() + ": " + e.Message());
    const int code = *e.Code();
    const std::string cause = e.Message() == ReaderErrorText(code) ? "" : e.Message();
    throw EKyvError("cannot open " + Path.string() + ": " + DescribeReaderFailure(code, cause),
                    code);
  }
}

void TStationRecording::Load(const std::filesystem::path& Path) {
  const TRecordingFile file(Path);
  const TRecordingHead head = file.ReadHead();
  FWidth = head.Header.Width;
  FHeight = head.Header.Height;
  const auto area = static_cast<uint64_t>(head.Header.IndexOffset);
  if (area > kMaxBytes)
    throw EKyvError(std::to_string(area) + " bytes of frames are more than the station holds");
  FBytes.reserve(static_cast<size_t>(area));
  TFrameWalker walker(file, area);
  TWalkedRecord record;
  std::vector<uint8_t> payload;
  while (walker.Next(record)) {
    walker.ReadPayload(payload);
    const size_t at = FBytes.size();
    FBytes.resize(at + TFrameHeader::kSize + payload.size());
    record.Header.Write(FBytes.data() + at);
    std::copy(payload.begin(), payload.end(),
              FBytes.begin() + static_cast<ptrdiff_t>(at + TFrameHeader::kSize));
  }
}

TStationRecording::TStationRecording(std::vector<uint8_t> Records, uint16_t Width, uint16_t Height)
    : FBytes(std::move(Records)), FWidth(Width), FHeight(Height) {
  Index();
}

void TStationRecording::Index() {
  size_t at = 0;
  while (at < FBytes.size()) {
    if (FBytes.size() - at < TFrameHeader::kSize)
      throw EKyvError("a frame header is cut short at byte " + std::to_string(at));
    const TFrameHeader header = TFrameHeader::Read(FBytes.data() + at);
    if (header.RecordSize() > FBytes.size() - at)
      throw EKyvError("a frame record is cut short at byte " + std::to_string(at));
    TStationFrame frame;
    frame.Offset = at;
    frame.Size = static_cast<size_t>(header.RecordSize());
    frame.Time = header.Time;
    frame.Key = header.FrameType == ftKeyFrame;
    if (frame.Key) FKeyFrames.push_back(FFrames.size());
    FFrames.push_back(frame);
    at += frame.Size;
  }
  if (FFrames.empty()) throw EKyvError("the recording holds no frames");
  if (FKeyFrames.empty()) throw EKyvError("the recording holds no key frame to start players at");
  if (FFrames.size() > 1) {
    const uint32_t span = std::max(FFrames.back().Time, FirstTime()) - FirstTime();
    // The loop period must fit in 32 bits and never wrap to 0, which the schedule divides by.
    if (span > kMaxSpanMs)
      throw EKyvError("the recording spans " + std::to_string(span) + " ms, more than the " +
                      std::to_string(kMaxSpanMs) + " ms that the station can loop");
    const uint64_t step = std::clamp<uint64_t>(span / (FFrames.size() - 1), 1, 1000);
    FLoopPeriod = static_cast<uint32_t>(uint64_t{span} + step);
  }
}

std::span<const uint8_t> TStationRecording::Record(size_t Index) const {
  const TStationFrame& frame = FFrames.at(Index);
  return {FBytes.data() + frame.Offset, frame.Size};
}

size_t TStationRecording::KeyFrameAtOrBefore(uint32_t Time) const noexcept {
  size_t found = Count();
  for (const size_t index : FKeyFrames) {
    if (FFrames[index].Time > Time) break;
    found = index;
  }
  return found;
}

}  // namespace kyv::station
