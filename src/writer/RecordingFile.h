#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "decoder/FileFormat.h"
#include "decoder/RecordingHead.h"

namespace kyv {

// A recording file opened for reading by the tools and the tests, which walk it record by
// record; the player has its own readers. Single-threaded.
class TRecordingFile {
 public:
  explicit TRecordingFile(const std::filesystem::path& path);  // raises EKyvError
  TRecordingFile(const TRecordingFile&) = delete;
  TRecordingFile& operator=(const TRecordingFile&) = delete;

  uint64_t Size() const { return FSize; }
  const std::filesystem::path& Path() const { return FPath; }
  // Reads up to count bytes at offset; fewer only at the end of the file.
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
  // The container checks (ReadRecordingHead) on this file.
  TRecordingHead ReadHead() const;

 private:
  std::filesystem::path FPath;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> FFile;
  uint64_t FSize = 0;
};

// One record as the walker finds it. Number counts from 0; FileOffset is where its header
// starts in the file (the frame area starts at 32).
struct TWalkedRecord {
  uint64_t Number = 0;
  uint64_t FileOffset = 0;
  TFrameHeader Header{};
};

// Takes the records of the frame area one after another, as a reader does.
class TFrameWalker {
 public:
  // Walks [32, 32 + frameAreaLength) of the file.
  TFrameWalker(const TRecordingFile& file, uint64_t frameAreaLength);

  // The next record, or false at the end of the frame area. A record whose header or payload
  // runs past the end of the frame area or of the file raises EKyvError naming it.
  bool Next(TWalkedRecord& record);
  // The payload of the record that Next returned last.
  void ReadPayload(std::vector<uint8_t>& payload) const;

 private:
  const TRecordingFile& FFile;
  uint64_t FEnd;
  uint64_t FPosition = kFrameAreaStart;
  uint64_t FNumber = 0;
  TWalkedRecord FCurrent;
};

// "record N at file offset O: " + what, the way the tools name a bad record.
std::string RecordPlace(const TWalkedRecord& record);

}  // namespace kyv
