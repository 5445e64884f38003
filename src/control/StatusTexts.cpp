#include "control/StatusTexts.h"

#include <charconv>

#include "control/PlayerCore.h"
#include "platform/FormatSeconds.h"

namespace kyv {

std::string StatusTimeText(uint32_t Ms) {
  return FormatSeconds(Ms / 1000);
}

std::string StatusBytesText(int64_t StoreBytes, size_t BufferFill) {
  const uint32_t sum = static_cast<uint32_t>(StoreBytes) + static_cast<uint32_t>(BufferFill);
  return std::to_string(sum >> 10) + "K";
}

std::string StatusRateText(uint64_t Kbps) {
  if (Kbps < 1024) return std::to_string(Kbps) + " Kbps";
  // to_chars keeps the decimal point whatever locale the toolkit has set.
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(Kbps) / 1024,
                                 std::chars_format::fixed, 2);
  return std::string(text, end.ptr) + " Mbps";
}

std::string StatusSizeText(uint16_t Width, uint16_t Height) {
  return std::to_string(Width) + " x " + std::to_string(Height);
}

TStatusTexts StatusTextsOf(const TStatusSnapshot& Snapshot) {
  TStatusTexts texts;
  texts.HasSource = Snapshot.HasSource;
  if (Snapshot.HasSource) {
    texts.From = StatusTimeText(Snapshot.FirstTime);
    texts.To = StatusTimeText(Snapshot.LastTime);
    texts.CurrentPosition = StatusTimeText(Snapshot.CurrentTime);
    texts.Frames = std::to_string(Snapshot.Frames);
    texts.Bytes = StatusBytesText(Snapshot.StoreBytes, Snapshot.BufferFill);
    texts.BPS = StatusRateText(Snapshot.BitRate);
  }
  texts.Duration = StatusTimeText(Snapshot.Duration);
  texts.Size = StatusSizeText(Snapshot.Width, Snapshot.Height);
  return texts;
}

TStatusSnapshot ReadStatusSnapshot(TPlayerCore& Core) {
  TStatusSnapshot snapshot;
  const TFileHeader header = Core.Header();
  snapshot.Duration = header.Duration;
  snapshot.Width = header.Width;
  snapshot.Height = header.Height;
  TReadThread* reader = Core.Reader();
  const TPlayThread* player = Core.Player();
  if (reader == nullptr || player == nullptr) return snapshot;
  snapshot.HasSource = true;
  const TFramesBuffer& frames = Core.Context().Frames;
  {
    // One hold of the list lock, so first, last and count describe the same list.
    TScopedLock<const TFramesBuffer> guard(frames);
    snapshot.FirstTime = frames.FirstTime();
    snapshot.LastTime = frames.LastTime();
    snapshot.Frames = frames.Count();
    snapshot.StoreBytes = frames.TotalBytes();
  }
  snapshot.CurrentTime = player->CurrentTime();
  snapshot.BufferFill = reader->BufferFill();
  snapshot.BitRate = reader->BitRate();
  return snapshot;
}

}  // namespace kyv
