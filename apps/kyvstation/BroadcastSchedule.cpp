#include "BroadcastSchedule.h"

namespace kyv::station {

TBroadcastSchedule::TBroadcastSchedule(const TStationRecording& Recording, double Speed, bool Paced,
                                       TClock::time_point Origin)
    : FRecording(Recording), FSpeed(Speed), FPaced(Paced), FOrigin(Origin) {}

TBroadcastPosition TBroadcastSchedule::StartAt(TClock::time_point Now) const {
  const TBroadcastPosition first{0, FRecording.FirstKeyFrame()};
  if (!FPaced || Now <= FOrigin) return first;
  const double elapsedMs = std::chrono::duration<double, std::milli>(Now - FOrigin).count();
  const auto live = static_cast<uint64_t>(elapsedMs * FSpeed);
  const uint64_t period = FRecording.LoopPeriod();
  const uint64_t loop = live / period;
  const auto inLoop = static_cast<uint32_t>(live % period);
  const size_t key = FRecording.KeyFrameAtOrBefore(FRecording.FirstTime() + inLoop);
  if (key < FRecording.Count()) return {loop, key};
  if (loop > 0) return {loop - 1, FRecording.LastKeyFrame()};
  return first;
}

TBroadcastPosition TBroadcastSchedule::Next(TBroadcastPosition Position) const {
  if (Position.Index + 1 < FRecording.Count()) return {Position.Loop, Position.Index + 1};
  return {Position.Loop + 1, 0};
}

uint64_t TBroadcastSchedule::OffsetMs(TBroadcastPosition Position) const {
  const uint32_t time = FRecording.Frame(Position.Index).Time;
  const uint32_t first = FRecording.FirstTime();
  const uint64_t inLoop = time >= first ? time - first : 0;
  return Position.Loop * FRecording.LoopPeriod() + inLoop;
}

TBroadcastSchedule::TClock::time_point TBroadcastSchedule::DueTime(
    TBroadcastPosition Position) const {
  if (!FPaced) return FOrigin;
  const double ms = static_cast<double>(OffsetMs(Position)) / FSpeed;
  return FOrigin + std::chrono::duration_cast<TClock::duration>(
                       std::chrono::duration<double, std::milli>(ms));
}

uint32_t TBroadcastSchedule::WireTime(TBroadcastPosition Position) const {
  return static_cast<uint32_t>(FRecording.FirstTime() + OffsetMs(Position));
}

}  // namespace kyv::station
