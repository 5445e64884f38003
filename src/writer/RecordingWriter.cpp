#include "writer/RecordingWriter.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Errors.h"

namespace kyv {

namespace {

[[noreturn]] void FailOn(const std::filesystem::path& path, const char* what) {
  throw EKyvError(std::string(what) + " " + path.string() + ": " + std::strerror(errno));
}

// Buffered writes keep the number of system calls low for recordings of hundreds of MB.
constexpr size_t kWriteBuffer = size_t{1} << 20;

}  // namespace

TRecordingWriter::TRecordingWriter(const std::filesystem::path& path, uint16_t width,
                                   uint16_t height, int16_t version)
    : FPath(path), FFile(std::fopen(path.c_str(), "wb")) {
  if (!FFile) FailOn(path, "Cannot create");
  std::setvbuf(FFile.get(), nullptr, _IOFBF, kWriteBuffer);
  FHeader.Magic[0] = kKyvMagic[0];
  FHeader.Magic[1] = kKyvMagic[1];
  FHeader.Version = version;
  FHeader.Width = width;
  FHeader.Height = height;
  uint8_t placeholder[TFileHeader::kSize] = {};
  Write(placeholder, sizeof placeholder);
}

TRecordingWriter::~TRecordingWriter() = default;

void TRecordingWriter::Write(const void* data, size_t size) {
  if (!FFile) throw EKyvError("The recording " + FPath.string() + " is already finished");
  if (size != 0 && std::fwrite(data, 1, size, FFile.get()) != size) FailOn(FPath, "Cannot write");
}

uint64_t TRecordingWriter::AddFrame(const TFrameHeader& header, std::span<const uint8_t> payload) {
  if (payload.size() > UINT32_MAX) throw EKyvError("A payload cannot exceed 4 GiB");
  TFrameHeader written = header;
  written.DataSize = static_cast<uint32_t>(payload.size());
  uint8_t bytes[TFrameHeader::kSize];
  written.Write(bytes);
  const uint64_t offset = FFrameAreaSize;
  Write(bytes, sizeof bytes);
  Write(payload.data(), payload.size());
  FFrameAreaSize += written.RecordSize();
  ++FFrameCount;
  FLastTime = written.Time;
  if (written.FrameType == ftKeyFrame && (FIndex.empty() || FIndex.back().Time != written.Time))
    FIndex.push_back({written.Time, offset});
  return offset;
}

uint64_t TRecordingWriter::AddFrame(uint32_t time, TFrameType type, TCompression compression,
                                    uint16_t left, uint16_t top, std::span<const uint8_t> payload,
                                    uint16_t mouseX, uint16_t mouseY) {
  TFrameHeader header{};
  header.Time = time;
  header.Left = left;
  header.Top = top;
  header.FrameType = type;
  header.Compression = compression;
  header.MouseX = mouseX;
  header.MouseY = mouseY;
  return AddFrame(header, payload);
}

void TRecordingWriter::AddRawBytes(std::span<const uint8_t> bytes) {
  Write(bytes.data(), bytes.size());
  FFrameAreaSize += bytes.size();
}

void TRecordingWriter::Finish() {
  const std::vector<TIndexEntry>& index = FIndexOverride ? *FIndexOverride : FIndex;
  TIndexHeader indexHeader{};
  indexHeader.Count = static_cast<uint32_t>(index.size());
  uint8_t bytes[TIndexHeader::kSize];
  indexHeader.Write(bytes);
  Write(bytes, sizeof bytes);
  const size_t entrySize = FHeader.IndexEntrySize();
  std::vector<uint8_t> entries(index.size() * entrySize);
  for (size_t i = 0; i < index.size(); ++i)
    index[i].Write(entries.data() + i * entrySize, FHeader.Version);
  Write(entries.data(), entries.size());

  FHeader.Duration = FDurationOverride.value_or(FLastTime);
  FHeader.IndexOffset = static_cast<int64_t>(FFrameAreaSize);
  uint8_t head[TFileHeader::kSize];
  FHeader.Write(head);
  if (std::fseek(FFile.get(), 0, SEEK_SET) != 0) FailOn(FPath, "Cannot seek in");
  Write(head, sizeof head);
  std::FILE* file = FFile.release();
  if (std::fclose(file) != 0) FailOn(FPath, "Cannot close");
}

void PatchBytes(const std::filesystem::path& path, uint64_t offset,
                std::span<const uint8_t> bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r+b"),
                                                       &std::fclose);
  if (!file) FailOn(path, "Cannot open");
  if (fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) FailOn(path, "Cannot seek in");
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    FailOn(path, "Cannot write");
  std::FILE* raw = file.release();
  if (std::fclose(raw) != 0) FailOn(path, "Cannot close");
}

void TruncateFile(const std::filesystem::path& path, uint64_t size) {
  std::error_code error;
  std::filesystem::resize_file(path, size, error);
  if (error) throw EKyvError("Cannot truncate " + path.string() + ": " + error.message());
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path, uint64_t offset, size_t count) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) FailOn(path, "Cannot open");
  if (fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) FailOn(path, "Cannot seek in");
  std::vector<uint8_t> bytes(count);
  if (std::fread(bytes.data(), 1, count, file.get()) != count)
    throw EKyvError("Cannot read " + std::to_string(count) + " bytes at " + std::to_string(offset) +
                    " of " + path.string());
  return bytes;
}

}  // namespace kyv
