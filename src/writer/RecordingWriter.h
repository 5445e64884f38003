#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "decoder/FileFormat.h"

namespace kyv {

// Writes a recording file as it goes: a header placeholder, the frame records one after another,
// then at Finish the index block and the completed header. Only the records themselves pass
// through memory, so recordings of any length can be written. Key frames enter the index as
// they are added; a key frame whose time equals the previous entry's adds no entry.
// Single-threaded: one thread owns a writer.
class TRecordingWriter {
 public:
  // Creates (or replaces) the file; raises EKyvError when it cannot.
  TRecordingWriter(const std::filesystem::path& path, uint16_t width, uint16_t height,
                   int16_t version = kKyvVersion101);
  ~TRecordingWriter();  // closes the file; an unfinished recording stays without index
  TRecordingWriter(const TRecordingWriter&) = delete;
  TRecordingWriter& operator=(const TRecordingWriter&) = delete;

  // Appends one record: the header as given except DataSize, which is the payload's length.
  // Returns the record's offset from the start of the frame area.
  uint64_t AddFrame(const TFrameHeader& header, std::span<const uint8_t> payload = {});
  uint64_t AddFrame(uint32_t time, TFrameType type, TCompression compression, uint16_t left,
                    uint16_t top, std::span<const uint8_t> payload = {}, uint16_t mouseX = 0,
                    uint16_t mouseY = 0);
  // Appends raw bytes to the frame area, for records that a header cannot describe (one cut
  // short, say). They count as frame area but not as a record.
  void AddRawBytes(std::span<const uint8_t> bytes);

  // Replaces the index that Finish writes (entries as given, in this order, nothing checked).
  void SetIndex(std::vector<TIndexEntry> index) { FIndexOverride = std::move(index); }
  // Replaces the Duration that Finish writes.
  void SetDuration(uint32_t duration) { FDurationOverride = duration; }

  // Writes the index block and the header and closes the file. Raises EKyvError on a write
  // failure. Without records Duration is 0; without key frames the index has Count 0.
  void Finish();

  const std::vector<TIndexEntry>& Index() const { return FIndex; }  // the automatic index
  uint64_t FrameAreaSize() const { return FFrameAreaSize; }
  uint32_t LastTime() const { return FLastTime; }
  uint64_t FrameCount() const { return FFrameCount; }
  const TFileHeader& Header() const { return FHeader; }  // complete after Finish
  const std::filesystem::path& Path() const { return FPath; }

 private:
  struct TFileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
  };

  void Write(const void* data, size_t size);

  std::filesystem::path FPath;
  std::unique_ptr<std::FILE, TFileCloser> FFile;
  TFileHeader FHeader{};
  std::vector<TIndexEntry> FIndex;
  std::optional<std::vector<TIndexEntry>> FIndexOverride;
  std::optional<uint32_t> FDurationOverride;
  uint64_t FFrameAreaSize = 0;
  uint64_t FFrameCount = 0;
  uint32_t FLastTime = 0;
};

// Changes to a finished recording, for files that must be damaged on purpose. Each raises
// EKyvError when the file cannot be read or written.
void PatchBytes(const std::filesystem::path& path, uint64_t offset, std::span<const uint8_t> bytes);
// Reads the 32-byte header, lets change alter it and writes it back.
template <typename TChange>
void PatchFileHeader(const std::filesystem::path& path, TChange change);
// Reads the index header (at 32 + IndexOffset as the file header says), lets change alter it
// and writes it back.
template <typename TChange>
void PatchIndexHeader(const std::filesystem::path& path, TChange change);
void TruncateFile(const std::filesystem::path& path, uint64_t size);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path, uint64_t offset, size_t count);

template <typename TChange>
void PatchFileHeader(const std::filesystem::path& path, TChange change) {
  const std::vector<uint8_t> bytes = ReadBytes(path, 0, TFileHeader::kSize);
  TFileHeader header = TFileHeader::Read(bytes.data());
  change(header);
  uint8_t out[TFileHeader::kSize];
  header.Write(out);
  PatchBytes(path, 0, out);
}

template <typename TChange>
void PatchIndexHeader(const std::filesystem::path& path, TChange change) {
  const std::vector<uint8_t> head = ReadBytes(path, 0, TFileHeader::kSize);
  const int64_t indexOffset = TFileHeader::Read(head.data()).IndexOffset;
  const uint64_t at = TFileHeader::kSize + static_cast<uint64_t>(indexOffset);
  const std::vector<uint8_t> bytes = ReadBytes(path, at, TIndexHeader::kSize);
  TIndexHeader index = TIndexHeader::Read(bytes.data());
  change(index);
  uint8_t out[TIndexHeader::kSize];
  index.Write(out);
  PatchBytes(path, at, out);
}

}  // namespace kyv
