#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "Verbs.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
#include "picture/FrameRules.h"
#include "platform/Errors.h"
#include "platform/FormatSeconds.h"
#include "writer/RecordingFile.h"

namespace kyv::tool {

namespace {

// The number of bytes a zlib payload inflates to, or -1 when it does not inflate. The decoder
// reports bfSize for a zlib payload, not the length it produced, so the check counts it itself.
int64_t InflatedSize(const std::vector<uint8_t>& payload) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return -1;
  stream.next_in = const_cast<Bytef*>(payload.data());
  stream.avail_in = static_cast<uInt>(payload.size());
  uint8_t scratch[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = scratch;
    stream.avail_out = sizeof scratch;
    result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_BUF_ERROR && stream.avail_in == 0) break;
  }
  const int64_t size = result == Z_STREAM_END ? static_cast<int64_t>(stream.total_out) : -1;
  inflateEnd(&stream);
  return size;
}

struct TRecordMark {
  uint64_t Offset;  // from the start of the frame area
  uint32_t Time;
  int16_t FrameType;
};

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1 || args[0].starts_with("--")) {
    err << "kyvtool check: expected exactly one FILE (see kyvtool --help)\n";
    return kExitUsage;
  }
  const std::string& path = args[0];
  const auto bad = [&](const std::string& what) {
    err << "kyvtool check: " << path << ": " << what << "\n";
    return kExitBad;
  };

  TRecordingFile file(path);
  TRecordingHead head;
  try {
    head = file.ReadHead();
  } catch (const EKyvError& e) {
    return bad(DescribeHeadError(e));
  }
  const TFileHeader& header = head.Header;
  const auto frameArea = static_cast<uint64_t>(header.IndexOffset);
  const uint32_t duration = header.Duration;
  // The player makes its picture from the header's size.
  if (const std::string problem = PictureSizeProblem(header.Width, header.Height); !problem.empty())
    return bad("the header's size: " + problem);

  TDecoderUsage decoder;
  std::vector<TRecordMark> marks;
  std::vector<uint8_t> payload;
  uint64_t keyFrames = 0, decodedPayloads = 0;
  uint32_t lastTime = 0;
  try {
    TFrameWalker walker(file, frameArea);
    TWalkedRecord record;
    while (walker.Next(record)) {
      const TFrameHeader& frame = record.Header;
      const std::string place = RecordPlace(record);
      if (record.Number > 0 && frame.Time < lastTime)
        return bad(place + "time " + std::to_string(frame.Time) +
                   " ms comes before the previous record's " + std::to_string(lastTime) + " ms");
      lastTime = frame.Time;
      marks.push_back({record.FileOffset - kFrameAreaStart, frame.Time, frame.FrameType});
      const bool rectangle = frame.FrameType == ftXorRect || frame.FrameType == ftKeyFrame ||
                             frame.FrameType == ftCopyRect;
      if (frame.FrameType == ftKeyFrame) ++keyFrames;
      if (rectangle && frame.DataSize == 0)
        return bad(place + FrameTypeName(frame.FrameType) + " without payload");
      // Markers, cursor moves and frame types the player passes over decode nothing.
      if (!rectangle && !(frame.FrameType == ftCursor && frame.DataSize > 0)) continue;
      if (frame.DataSize > INT32_MAX)
        return bad(place + "a payload of " + std::to_string(frame.DataSize) +
                   " bytes is beyond the decoder");

      walker.ReadPayload(payload);
      TDecoderLock lock;
      void* dest = nullptr;
      int32_t result = 0;
      try {
        result = UnZipEx(payload.data(), static_cast<int32_t>(payload.size()), frame.Compression,
                         dest, 0);
      } catch (const EKyvError& e) {
        return bad(place + CompressionName(frame.Compression) + " payload of " +
                   std::to_string(frame.DataSize) + " bytes does not decode: " + e.Message());
      }
      int64_t decoded = result;
      if (frame.Compression == ckBitmap58) {
        if (payload.size() < kBitmap58Bytes)
          return bad(place + "a ckBitmap58 payload of " + std::to_string(payload.size()) +
                     " bytes, fewer than 58");
        decoded = kBitmap58Bytes;
      } else if (frame.Compression == ckZlib) {
        decoded = std::min<int64_t>(InflatedSize(payload), int64_t{kMaxDecodedBytes});
      }
      if (frame.Compression == ckLzo && result < 0)
        return bad(place + "the LZO stream does not end at the end of the payload");
      if (decoded < 0) return bad(place + "the payload does not decode");
      // The very rules by which the picture draws the frame.
      try {
        CheckFrameImage(frame, static_cast<const uint8_t*>(dest), static_cast<size_t>(decoded),
                        header.Width, header.Height);
      } catch (const EKyvError& e) {
        return bad(place + e.Message());
      }
      ++decodedPayloads;
    }
  } catch (const EKyvError& e) {
    return bad(e.Message());
  }

  if (!marks.empty() && duration != lastTime)
    return bad("the header's Duration " + std::to_string(duration) +
               " ms differs from the last record's time " + std::to_string(lastTime) + " ms");
  for (size_t i = 0; i < head.Index.size(); ++i) {
    const TIndexEntry entry = head.Index[i];
    const std::string place = "index entry " + std::to_string(i) + " (time " +
                              std::to_string(entry.Time) + " ms, offset " +
                              std::to_string(entry.Offset) + "): ";
    if (i > 0 && entry.Time < head.Index[i - 1].Time)
      return bad(place + "its time comes before the previous entry's");
    const auto at = std::lower_bound(
        marks.begin(), marks.end(), entry.Offset,
        [](const TRecordMark& mark, uint64_t offset) { return mark.Offset < offset; });
    if (at == marks.end() || at->Offset != entry.Offset)
      return bad(place + "no record starts there");
    if (at->FrameType != ftKeyFrame)
      return bad(place + "the record there is " + FrameTypeName(at->FrameType) +
                 ", not a key frame");
    if (at->Time != entry.Time)
      return bad(place + "the key frame there has time " + std::to_string(at->Time) + " ms");
  }

  out << "OK: " << path << ": " << marks.size() << " records (" << keyFrames << " key frames, "
      << decodedPayloads << " payloads decoded), " << head.Index.size() << " index entries, "
      << FormatSeconds(duration / 1000) << "\n";
  return kExitOk;
}

}  // namespace kyv::tool
