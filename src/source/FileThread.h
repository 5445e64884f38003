#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "decoder/Limits.h"
#include "source/ReadThread.h"
#include "source/RetryBackoff.h"
#include "source/Stream.h"

namespace kyv {

// What the extension of an address makes of a stored source.
enum TFileKind : uint8_t {
  fkUnsupported = 0,
  fkRecording = 1,  // ".KYV"
  fkBitmap = 2,     // ".BMP", ".DIB"
  fkJpeg = 3,       // ".JPG", ".JPEG"
};

// The reader of stored sources: recordings and still images, from a local file or through the
// ranged web stream. It loads the index on open, reads frame records ahead into the frames
// buffer up to its memory budget, and tells the play thread (UM_REPLAY) where playback goes on
// after a read with a target time or a seek. Opening reports UM_OPENED or UM_SOURCE_ERROR (with a
// reader error code) to the control's window. Still JPEG files are decoded through the decoder,
// which the control has initialised.
//
// Local files must be regular files (a FIFO or a device is the cannot-open code 6). After the
// open, a source that delivers nothing is asked again with a growing pause (TRetryBackoff) and,
// once it has delivered nothing for the stall limit, reported with code 15; a record above
// kMaxRecordBytes or past the frame area, or times that go back, are code 1, and a seek that does
// not find the key frame the index promises is code 13. After such a report the reader reads
// nothing until a seek, a stop or an open; LastFailure holds the reason.
class TFileThread : public TReadThread {
 public:
  // The largest still image: a record block of 10 MiB, header included.
  static constexpr size_t kStillBlockSize = kMaxDecodedBytes;
  static constexpr size_t kStillPayloadSize = kStillBlockSize - 28;
  // Reads are at most this long, so that a waiting request is served within one chunk.
  static constexpr size_t kChunkSize = 0x8000;

  explicit TFileThread(TPlayContext& Context);
  ~TFileThread() override;

  // The kind that an address's extension selects, in any letter case.
  static TFileKind FileKindOf(const std::string& Address);

 protected:
  void DoOpen() override;
  void DoRead(int64_t Target) override;
  void DoSeek(uint32_t Time) override;
  void DoReset() override;
  void Abort() override;

  // Reader thread: the stream over an address; a network address goes through the web stream.
  // Tests replace it to put a stream of their own under the reader.
  virtual std::unique_ptr<TStream> OpenStream(const std::string& Address, bool Network);

 private:
  void OpenStill(TFileKind Kind);
  void OpenRecording();
  // Reads one block from the stream: Buffer not null, Count above 0.
  size_t ReadBlock(void* Buffer, size_t Count);
  void ReplaceStream(std::unique_ptr<TStream> Stream);
  void GrowBuffer(uint64_t Size, size_t Fill);
  void PostReplay(int32_t Index);
  // A record that cannot be taken (Why): reports Code (1, or 13 for an index that points
  // wrongly) and raises it.
  [[noreturn]] void ReportDamage(uint64_t RecordStart, const std::string& Why, int Code = 1);
  // Checks a record's time against the one before it and against the key frame that a seek was
  // promised by the index.
  void CheckTime(uint64_t RecordStart, const uint8_t* Record);
  // True when the back-off lets the next read be made now; else waits a slice for a request.
  bool ReadDue();
  // The source has delivered nothing for the stall limit: reports code 15.
  void ReportStall();

  // Set on the reader thread; FStreamLock guards the pointer against Abort, which other threads
  // call. The reader thread reads it without the lock, as it is the only one that changes it.
  std::unique_ptr<TStream> FStream;
  std::mutex FStreamLock;
  int64_t FDataStart = 0;
  TFileKind FFileKind = fkUnsupported;
  // Reader thread only: the stream position and the end of the frame area.
  uint64_t FPosition = 0;
  uint64_t FEnd = 0;
  // Reader thread only: the target of a read or seek that UM_REPLAY has not answered yet.
  std::optional<uint32_t> FPendingTarget;
  // Reader thread only: when an empty read is tried again; whether a failure has been reported
  // (a stall or damage: no more reads until a seek, a stop or an open); the reason of the last
  // short read.
  TRetryBackoff FBackoff;
  bool FHalted = false;
  std::string FShortRead;
  // Reader thread only: the time of the last record handed on since the position was set, and
  // the key frame that the index promises at the position a seek went to.
  std::optional<uint32_t> FLastTime;
  std::optional<uint32_t> FPromisedKey;
};

}  // namespace kyv
