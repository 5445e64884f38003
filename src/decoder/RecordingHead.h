#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "decoder/FileFormat.h"

namespace kyv {

// What opening a recording learns before its frames: the file header and the key-frame index,
// entries in file order as stored (the index table drops repeated times when they are added).
struct TRecordingHead {
  TFileHeader Header{};
  std::vector<TIndexEntry> Index;
};

// Reads up to count bytes at an absolute offset of the source; returns how many it read
// (fewer only at the end of the source). May raise EKyvError for a failing source.
using TReadAt = std::function<size_t(uint64_t offset, void* buffer, size_t count)>;

// Runs the container checks in their fixed order and raises EKyvError with the reader code
// (1 bad magic, 14 unknown version, 2 no index, 13 index header invalid, 15 short read) and
// its text. The index is read in bounded steps, so a damaged Count never allocates more than
// the source actually holds.
TRecordingHead ReadRecordingHead(const TReadAt& readAt);

// The frame area of a recording starts right behind its header.
inline constexpr uint64_t kFrameAreaStart = TFileHeader::kSize;

}  // namespace kyv
