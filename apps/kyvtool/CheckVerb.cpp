#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "Verbs.h"
#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
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

// What is wrong with a decoded bitmap file image, or "" when it is sound.
std::string BitmapProblem(const uint8_t* image, uint64_t decoded, bool rectangle,
                          bool createsPicture) {
  if (decoded < kBitmapHeadersSize)
    return "the decoded image is " + std::to_string(decoded) +
           " bytes long, shorter than its headers";
  const TBitmapFileHeader file = TBitmapFileHeader::Read(image);
  const TBitmapInfoHeader info = TBitmapInfoHeader::Read(image + kBitmapInfoOffset);
  const uint32_t size = file.bfSize, offBits = file.bfOffBits;
  if (file.bfType != kBitmapType) return "the decoded image does not start with \"BM\"";
  if (size < kBitmapHeadersSize || size > decoded)
    return "bfSize " + std::to_string(size) + " does not fit the " + std::to_string(decoded) +
           " bytes decoded";
  if (info.biSize < TBitmapInfoHeader::kSize)
    return "the info header is " + std::to_string(info.biSize) + " bytes long, not 40";
  if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN)
    return "the image is " + std::to_string(info.biWidth) + " x " + std::to_string(info.biHeight) +
           " pixels";
  if (info.biPlanes != 1) return "biPlanes is " + std::to_string(info.biPlanes) + ", not 1";
  const int bits = info.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return "biBitCount " + std::to_string(bits) + " is not a bitmap depth";
  if (info.biCompression != kBiRgb)
    return "biCompression is " + std::to_string(info.biCompression) + ", not BI_RGB";
  const uint64_t colours = info.biClrUsed != 0 ? info.biClrUsed : bits <= 8 ? (1u << bits) : 0;
  const uint64_t tableEnd = kBitmapInfoOffset + uint64_t{info.biSize} + colours * 4;
  if (offBits < tableEnd)
    return "bfOffBits " + std::to_string(offBits) + " points inside the headers and colour table";
  const uint64_t height = info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
  const uint64_t rows = BitmapStride(static_cast<uint64_t>(info.biWidth), bits) * height;
  if (offBits + rows > size)
    return "the pixel rows (" + std::to_string(rows) + " bytes from offset " +
           std::to_string(offBits) + ") run past bfSize " + std::to_string(size);
  if (rectangle && bits == 4) return "a rectangle of 4 bits per pixel, which the picture refuses";
  if (createsPicture && bits <= 8)
    return "the first key frame has " + std::to_string(bits) +
           " bits per pixel; the picture needs more than 8";
  return "";
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
      const bool createsPicture = frame.FrameType == ftKeyFrame && keyFrames == 0;
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
      const std::string problem =
          BitmapProblem(static_cast<const uint8_t*>(dest), static_cast<uint64_t>(decoded),
                        rectangle, createsPicture);
      if (!problem.empty()) return bad(place + problem);
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
