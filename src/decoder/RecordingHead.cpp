#include "decoder/RecordingHead.h"

#include <algorithm>

#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"

namespace kyv {

namespace {

[[noreturn]] void Fail(TReaderError code) { throw EKyvError(ReaderErrorText(code), code); }

void ReadExactly(const TReadAt& readAt, uint64_t offset, void* buffer, size_t count) {
  if (readAt(offset, buffer, count) != count) Fail(reReadFailed);
}

}  // namespace

TRecordingHead ReadRecordingHead(const TReadAt& readAt) {
  TRecordingHead head;
  uint8_t bytes[TFileHeader::kSize];
  ReadExactly(readAt, 0, bytes, sizeof bytes);
  head.Header = TFileHeader::Read(bytes);
  if (head.Header.Magic[0] != kKyvMagic[0] || head.Header.Magic[1] != kKyvMagic[1])
    Fail(reDamaged);
  if (!head.Header.VersionKnown()) Fail(reUpgradeNeeded);
  if (head.Header.IndexOffset <= 0) Fail(reNoIndex);

  // Past INT64_MAX - 32 the index position itself would not fit a file offset.
  const uint64_t indexStart = kFrameAreaStart + static_cast<uint64_t>(head.Header.IndexOffset);
  if (indexStart < kFrameAreaStart) Fail(reReadFailed);
  uint8_t indexBytes[TIndexHeader::kSize];
  ReadExactly(readAt, indexStart, indexBytes, sizeof indexBytes);
  const TIndexHeader index = TIndexHeader::Read(indexBytes);
  if (index.Count == 0 || !index.ReservedClear()) Fail(reIndexInvalid);

  const size_t entrySize = head.Header.IndexEntrySize();
  const uint64_t total = static_cast<uint64_t>(index.Count) * entrySize;
  constexpr size_t kStep = size_t{1} << 20;  // a whole number of entries of either size
  std::vector<uint8_t> chunk;
  uint64_t done = 0;
  while (done < total) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kStep, total - done));
    chunk.resize(want);
    ReadExactly(readAt, indexStart + TIndexHeader::kSize + done, chunk.data(), want);
    for (size_t at = 0; at < want; at += entrySize)
      head.Index.push_back(TIndexEntry::Read(chunk.data() + at, head.Header.Version));
    done += want;
  }
  return head;
}

}  // namespace kyv
