#include "writer/RecordingFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "decoder/Limits.h"
#include "platform/Errors.h"
#include "platform/RegularFile.h"

namespace kyv {

TRecordingFile::TRecordingFile(const std::filesystem::path& path)
    : FPath(path), FFile(nullptr, &std::fclose) {
  // A FIFO or a device at path must neither hang the tools nor be read as a recording.
  const int fd = OpenRegularFile(path.string());
  FFile.reset(::fdopen(fd, "rb"));
  if (!FFile) {
    const int error = errno;
    ::close(fd);
    throw EKyvError("Cannot open " + path.string() + ": " + std::strerror(error));
  }
  if (fseeko(FFile.get(), 0, SEEK_END) != 0)
    throw EKyvError("Cannot seek in " + path.string() + ": " + std::strerror(errno));
  FSize = static_cast<uint64_t>(ftello(FFile.get()));
}

size_t TRecordingFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  if (offset >= FSize || count == 0) return 0;
  if (fseeko(FFile.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
    throw EKyvError("Cannot seek in " + FPath.string() + ": " + std::strerror(errno));
  const size_t got = std::fread(buffer, 1, count, FFile.get());
  if (got < count && std::ferror(FFile.get()))
    throw EKyvError("Cannot read " + FPath.string() + ": " + std::strerror(errno));
  return got;
}

TRecordingHead TRecordingFile::ReadHead() const {
  return ReadRecordingHead([this](uint64_t offset, void* buffer, size_t count) {
    return ReadAt(offset, buffer, count);
  });
}

TFrameWalker::TFrameWalker(const TRecordingFile& file, uint64_t frameAreaLength)
    : FFile(file), FEnd(kFrameAreaStart + frameAreaLength) {
  if (FEnd < frameAreaLength) FEnd = UINT64_MAX;  // the area cannot end past any file anyway
}

bool TFrameWalker::Next(TWalkedRecord& record) {
  if (FPosition >= FEnd) return false;
  FCurrent.Number = FNumber;
  FCurrent.FileOffset = FPosition;
  if (FEnd - FPosition < TFrameHeader::kSize)
    throw EKyvError(RecordPlace(FCurrent) +
                    "the record header runs past the end of the frame area");
  uint8_t bytes[TFrameHeader::kSize];
  if (FFile.ReadAt(FPosition, bytes, sizeof bytes) != sizeof bytes)
    throw EKyvError(RecordPlace(FCurrent) + "the record header runs past the end of the file");
  FCurrent.Header = TFrameHeader::Read(bytes);
  const uint64_t size = FCurrent.Header.RecordSize();
  // The players refuse such a record, and its payload would be read into memory whole.
  if (size > kMaxRecordBytes)
    throw EKyvError(RecordPlace(FCurrent) + "a record of " + std::to_string(size) +
                    " bytes is more than the " + std::to_string(kMaxRecordBytes) +
                    " a record may have");
  if (FEnd - FPosition < size)
    throw EKyvError(
        RecordPlace(FCurrent) + "the payload of " + std::to_string(FCurrent.Header.DataSize) +
        " bytes runs past the end of the frame area at file offset " + std::to_string(FEnd));
  if (FFile.Size() < FPosition + size)
    throw EKyvError(RecordPlace(FCurrent) + "the payload of " +
                    std::to_string(FCurrent.Header.DataSize) +
                    " bytes runs past the end of the file");
  FPosition += size;
  ++FNumber;
  record = FCurrent;
  return true;
}

void TFrameWalker::ReadPayload(std::vector<uint8_t>& payload) const {
  payload.resize(FCurrent.Header.DataSize);
  const uint64_t at = FCurrent.FileOffset + TFrameHeader::kSize;
  if (FFile.ReadAt(at, payload.data(), payload.size()) != payload.size())
    throw EKyvError(RecordPlace(FCurrent) + "the payload cannot be read");
}

std::string RecordPlace(const TWalkedRecord& record) {
  return "record " + std::to_string(record.Number) + " at file offset " +
         std::to_string(record.FileOffset) + ": ";
}

}  // namespace kyv
