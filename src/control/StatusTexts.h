#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kyv {

class TPlayerCore;

// What the statistics window shows, read at one refresh.
struct TStatusSnapshot {
  // The figures of the frame store and the source exist only while a source and its play thread
  // do; otherwise the window keeps what it showed.
  bool HasSource = false;
  uint32_t FirstTime = 0;  // ms, the first and last records held
  uint32_t LastTime = 0;
  uint32_t CurrentTime = 0;  // ms, the play thread's position
  int32_t Frames = 0;
  int64_t StoreBytes = 0;  // the frames buffer's total
  size_t BufferFill = 0;   // received by the source, not yet formed into records
  uint64_t BitRate = 0;    // kilobits per second since the previous reading
  // Always read: zero for a closed source.
  uint32_t Duration = 0;  // ms
  uint16_t Width = 0;
  uint16_t Height = 0;
};

// The texts of the window's figures. The first six apply only when HasSource is set.
struct TStatusTexts {
  bool HasSource = false;
  std::string From, To, CurrentPosition, Frames, Bytes, BPS;
  std::string Duration, Size;
};

// hh:mm:ss of a time in milliseconds; hours above 99 take more digits.
std::string StatusTimeText(uint32_t Ms);
// Whole KiB of the bytes held, counted as an unsigned 32-bit sum, then "K".
std::string StatusBytesText(int64_t StoreBytes, size_t BufferFill);
// Below 1024 kilobits per second "N Kbps", else Kbps / 1024 with two decimals and " Mbps".
std::string StatusRateText(uint64_t Kbps);
// "W x H".
std::string StatusSizeText(uint16_t Width, uint16_t Height);
TStatusTexts StatusTextsOf(const TStatusSnapshot& Snapshot);

// UI thread (the core's): reads the figures from the core's context, its reader and its play
// thread. Reading the reader's bit rate starts its next measuring interval, so only the
// statistics window calls this.
TStatusSnapshot ReadStatusSnapshot(TPlayerCore& Core);

}  // namespace kyv
