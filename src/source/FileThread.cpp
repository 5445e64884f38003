#include "source/FileThread.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <string>

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "decoder/FileFormat.h"
#include "decoder/Limits.h"
#include "decoder/ReaderErrors.h"
#include "decoder/RecordingHead.h"
#include "log/Log.h"
#include "picture/FrameRules.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "source/Address.h"
#include "source/FileStream.h"
#include "source/NetworkStream.h"

namespace kyv {

namespace {

using namespace std::chrono_literals;

// The longest single wait for a retry, so that it follows the platform clock closely.
constexpr uint32_t kRetrySliceMs = 50;

constexpr size_t kWidthAt = kBitmapInfoOffset + offsetof(TBitmapInfoHeader, biWidth);
constexpr size_t kHeightAt = kBitmapInfoOffset + offsetof(TBitmapInfoHeader, biHeight);

[[noreturn]] void Fail(TReaderError Code) {
  throw EKyvError(ReaderErrorText(Code), Code);
}

uint32_t HeldDataSize(const uint8_t* Record) {
  return LoadLE<uint32_t>(Record + offsetof(TFrameHeader, DataSize));
}

uint32_t HeldTime(const uint8_t* Record) {
  return LoadLE<uint32_t>(Record + offsetof(TFrameHeader, Time));
}

}  // namespace

TFileThread::TFileThread(TPlayContext& Context) : TReadThread(Context) {}

TFileThread::~TFileThread() {
  // The thread reads through FStream: a transfer blocking it is ended, then the thread, before
  // the stream goes.
  Abort();
  StopAndWait();
  if (FStream && SourceKind() == skWebFile) CloseNetworkHandles(*FStream);
}

TFileKind TFileThread::FileKindOf(const std::string& Address) {
  std::string ext = AddressExtension(Address);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext == ".BMP" || ext == ".DIB") return fkBitmap;
  if (ext == ".JPG" || ext == ".JPEG") return fkJpeg;
  if (ext == ".KYV") return fkRecording;
  return fkUnsupported;
}

std::unique_ptr<TStream> TFileThread::OpenStream(const std::string& Address, bool Network) {
  if (Network) return OpenNetworkStream(Address);
  return std::make_unique<TFileStream>(Address);
}

void TFileThread::ReplaceStream(std::unique_ptr<TStream> Stream) {
  std::unique_ptr<TStream> old;
  {
    std::lock_guard lock(FStreamLock);
    old = std::move(FStream);
    FStream = std::move(Stream);
  }
  if (old && SourceKind() == skWebFile) CloseNetworkHandles(*old);
}

void TFileThread::Abort() {
  std::lock_guard lock(FStreamLock);
  if (FStream && SourceKind() == skWebFile) AbortNetworkStream(*FStream);
}

size_t TFileThread::ReadBlock(void* Buffer, size_t Count) {
  KYV_ASSERT(Buffer != nullptr);
  KYV_ASSERT(Count > 0);
  const int64_t at = FStream->Seek(0, TSeekOrigin::soCurrent);
  const size_t n = FStream->Read(Buffer, Count);
  if (n < Count) {
    // Kept for the message a person reads should the short read end in a failure.
    std::string cause = SourceKind() == skWebFile ? NetworkFailure(*FStream) : std::string();
    if (cause.empty())
      cause = "only " + std::to_string(n) + " of " + std::to_string(Count) + " bytes at offset " +
              std::to_string(at) + " could be read";
    FShortRead = std::move(cause);
  }
  return n;
}

void TFileThread::DoOpen() {
  int code = reUnknown;
  FShortRead.clear();
  FBackoff.Delivered();
  FHalted = false;
  try {
    ReplaceStream(nullptr);
    const std::string address = Address();
    const bool network = IsNetworkAddress(address);
    // The stream is opened before the extension is looked at: a missing file is an unknown
    // failure whatever its name.
    std::unique_ptr<TStream> stream = OpenStream(address, network);
    SetSourceKind(network ? skWebFile : skLocalFile);
    ReplaceStream(std::move(stream));
    FFileKind = FileKindOf(address);
    switch (FFileKind) {
      case fkUnsupported:
        Fail(reInvalidFormat);
      case fkBitmap:
      case fkJpeg:
        OpenStill(FFileKind);
        break;
      case fkRecording:
        OpenRecording();
        break;
    }
    code = 0;
  } catch (const std::exception& e) {
    if (const auto* error = dynamic_cast<const EKyvError*>(&e); error && error->Code())
      code = *error->Code();
    ReplaceStream(nullptr);
    // A failure carrying only its code's text gets the reason from the read that caused it.
    std::string cause = e.what();
    if (cause == ReaderErrorText(code)) cause = code == reReadFailed ? FShortRead : std::string();
    NoteFailure(code, std::move(cause));
  }
  if (code == 0)
    PostMessage(FContext.Wnd, UM_OPENED, 0, 0);
  else if (!Stopping())
    PostMessage(FContext.Wnd, UM_SOURCE_ERROR, static_cast<WPARAM>(code), 0);
}

void TFileThread::OpenStill(TFileKind Kind) {
  std::unique_ptr<uint8_t[]> image(new uint8_t[kStillPayloadSize]);
  size_t size;
  if (Kind == fkBitmap) {
    // A larger file is taken cut to the largest still.
    size = ReadBlock(image.get(), kStillPayloadSize);
  } else {
    std::unique_ptr<uint8_t[]> jpeg(new uint8_t[kStillBlockSize]);
    const size_t jpegSize = ReadBlock(jpeg.get(), kStillBlockSize);
    if (jpegSize == 0) throw EKyvError("Empty JPEG file");
    size = static_cast<size_t>(UnZip(jpeg.get(), static_cast<int32_t>(jpegSize), ckJpeg,
                                     image.get(), static_cast<int32_t>(kStillPayloadSize)));
  }
  if (size < kBitmapHeadersSize)
    throw EKyvError("Still image too short for a bitmap: " + std::to_string(size) + " bytes");
  const int64_t width = LoadLE<int32_t>(image.get() + kWidthAt);
  int64_t height = LoadLE<int32_t>(image.get() + kHeightAt);
  // A JPEG's first scanline is its top row; the decoder stores it as a recording's bottom row.
  if (Kind == fkJpeg) {
    height = -height;
    StoreLE<int32_t>(image.get() + kHeightAt, static_cast<int32_t>(height));
  }
  const int64_t absHeight = std::abs(height);
  if (const std::string problem = PictureSizeProblem(width, absHeight); !problem.empty())
    throw EKyvError("Still image refused: " + problem);

  TFrameHeader header{};
  header.Time = 0;
  header.FrameType = ftKeyFrame;
  header.Compression = ckNone;
  header.DataSize = static_cast<uint32_t>(size);
  TFrameRecord record = TFrameRecord::Make(header, std::span<const uint8_t>(image.get(), size));

  TFileHeader fileHeader{};
  fileHeader.Width = static_cast<uint16_t>(width);
  fileHeader.Height = static_cast<uint16_t>(absHeight);
  FContext.Header = fileHeader;
  FContext.Frames.Add(std::move(record));
  FContext.Index.AddEntry(0, true, 0);
  // Nothing more is read from a still.
  ReplaceStream(nullptr);
}

void TFileThread::OpenRecording() {
  const TRecordingHead head =
      ReadRecordingHead([this](uint64_t offset, void* buffer, size_t count) {
        FStream->Seek(static_cast<int64_t>(offset), TSeekOrigin::soBeginning);
        return count == 0 ? size_t{0} : ReadBlock(buffer, count);
      });
  // The picture is made from the header's size: one it cannot make is damage.
  if (const std::string problem = PictureSizeProblem(head.Header.Width, head.Header.Height);
      !problem.empty())
    throw EKyvError("the header's size: " + problem, reDamaged);
  // A position outside the frame area would send a seek past its end.
  const uint64_t areaLength = static_cast<uint64_t>(head.Header.IndexOffset);
  for (const TIndexEntry& entry : head.Index)
    if (entry.Offset >= areaLength) Fail(reIndexInvalid);

  // Only a wholly read recording replaces what the context knew.
  FContext.Header = head.Header;
  FContext.Index.Clear();
  for (const TIndexEntry& entry : head.Index)
    FContext.Index.AddEntry(entry.Time, false, static_cast<int64_t>(entry.Offset));
  FDataStart = static_cast<int64_t>(kFrameAreaStart);
  FEnd = kFrameAreaStart + areaLength;
  FPosition = static_cast<uint64_t>(FStream->Seek(FDataStart, TSeekOrigin::soBeginning));
  FLastTime.reset();
  FPromisedKey.reset();
  SetBufferFill(0);
}

void TFileThread::PostReplay(int32_t Index) {
  // A play thread that could not take the answer gets it again with the next pass.
  if (FContext.PostToPlayer(UM_REPLAY, static_cast<WPARAM>(static_cast<LPARAM>(Index)), 0) ||
      FContext.PlayerThread.load(std::memory_order_acquire) == nullptr)
    FPendingTarget.reset();
}

void TFileThread::GrowBuffer(uint64_t Size, size_t Fill) {
  try {
    std::unique_ptr<uint8_t[]> grown(new uint8_t[static_cast<size_t>(Size)]);
    std::memcpy(grown.get(), FBuffer.get(), Fill);
    FBuffer = std::move(grown);
    FBufferSize = static_cast<size_t>(Size);
  } catch (const std::bad_alloc& e) {
    throw EKyvError(std::string("Exception:") + e.what() + ", BufferSize=" + std::to_string(Size));
  }
}

void TFileThread::ReportDamage(uint64_t RecordStart, const std::string& Why, int Code) {
  const std::string cause = "the record at file offset " + std::to_string(RecordStart) + " " + Why;
  // Reported once: reading it again would only find the same damage.
  FHalted = true;
  NoteFailure(Code, cause);
  if (!Stopping()) PostMessage(FContext.Wnd, UM_SOURCE_ERROR, static_cast<WPARAM>(Code), 0);
  throw EKyvError(std::string(ReaderErrorText(Code)) + ": " + cause, Code);
}

void TFileThread::CheckTime(uint64_t RecordStart, const uint8_t* Record) {
  const uint32_t time = HeldTime(Record);
  if (FPromisedKey) {
    const uint32_t promised = *FPromisedKey;
    FPromisedKey.reset();
    const int16_t type = LoadLE<int16_t>(Record + offsetof(TFrameHeader, FrameType));
    if (type != ftKeyFrame || time != promised)
      ReportDamage(RecordStart,
                   "is not the key frame of " + std::to_string(promised) +
                       " ms that the index places there (type " + std::to_string(type) + ", " +
                       std::to_string(time) + " ms)",
                   reIndexInvalid);
  }
  // Times never go back: a seek could not find a picture in a recording whose times do.
  if (FLastTime && time < *FLastTime)
    ReportDamage(RecordStart, "has time " + std::to_string(time) +
                                  " ms, before the previous record's " +
                                  std::to_string(*FLastTime) + " ms");
  FLastTime = time;
}

bool TFileThread::ReadDue() {
  const uint32_t left = FBackoff.WaitLeft(timeGetTime());
  if (left == 0) return true;
  // Short slices, so that the retry follows the platform clock closely.
  WaitForRequest(std::chrono::milliseconds(std::min(left, kRetrySliceMs)));
  return false;
}

void TFileThread::ReportStall() {
  FHalted = true;
  std::string cause = FShortRead.empty() ? "the source delivered nothing" : FShortRead;
  cause += " for " + std::to_string(FBackoff.StallLimitMs() / 1000) + " s";
  NoteFailure(reReadFailed, std::move(cause));
  if (!Stopping()) PostMessage(FContext.Wnd, UM_SOURCE_ERROR, reReadFailed, 0);
}

void TFileThread::DoRead(int64_t Target) {
  // A stalled source is asked again only after a seek, a stop or a new open.
  if (FFileKind != fkRecording || !FStream || FHalted) return;
  TFramesBuffer& frames = FContext.Frames;
  // A target not reached yet stays the goal of later passes: a request that cut this pass
  // short must not leave the play thread waiting for an answer that never comes.
  if (Target >= 0) FPendingTarget = static_cast<uint32_t>(Target);
  const bool targeted = FPendingTarget.has_value();
  if (!targeted && frames.IsFull()) return;

  // A web stream keeps its connection and what it has read ahead from one pass to the next.
  const uint32_t target = targeted ? *FPendingTarget : 0;
  bool signalled = false;
  size_t fill = BufferFill();
  while (!RequestWaiting()) {
    KYV_ASSERT(FPosition <= FEnd);
    const uint64_t remaining = FEnd - FPosition;
    if (remaining == 0) {
      if (fill > 0) ReportDamage(FPosition - fill, "runs past the frame area");
      if (targeted && !signalled) PostReplay(frames.Count() - 1);
      break;
    }
    const size_t chunk =
        static_cast<size_t>(std::min<uint64_t>({kChunkSize, remaining, FBufferSize - fill}));
    if (chunk == 0)
      throw EKyvError("BufferSize=" + std::to_string(FBufferSize) + ", UsedSize=" +
                      std::to_string(fill) + ", BytesToRead=" + std::to_string(chunk));
    if (!ReadDue()) continue;
    const size_t n = ReadBlock(FBuffer.get() + fill, chunk);
    if (n == 0) {
      // Asked again later and less often; after the stall limit the control hears code 15.
      if (FBackoff.Failed(timeGetTime())) {
        ReportStall();
        break;
      }
      continue;
    }
    FBackoff.Delivered();
    AddBytesReceived(n);
    FPosition += n;
    fill += n;
    SetBufferFill(fill);

    // Hand on every whole record held; the rest waits for the next chunk.
    size_t at = 0;
    while (fill - at >= TFrameHeader::kSize) {
      const uint8_t* held = FBuffer.get() + at;
      const uint64_t size = TFrameHeader::kSize + uint64_t{HeldDataSize(held)};
      if (fill - at < size) break;
      CheckTime(FPosition - fill + at, held);
      const uint32_t time = HeldTime(held);
      const int32_t e = frames.Add(
          TFrameRecord::FromBytes(std::span<const uint8_t>(held, static_cast<size_t>(size))));
      at += static_cast<size_t>(size);
      // The target is reached with the first record after it, so that every record sharing
      // the target's time is loaded; before the first record held, playback starts there.
      if (targeted && !signalled && target < time) {
        PostReplay(e > 0 ? e - 1 : 0);
        signalled = true;
      }
    }
    if (at > 0) {
      fill -= at;
      std::memmove(FBuffer.get(), FBuffer.get() + at, fill);
      SetBufferFill(fill);
    }

    if (fill >= TFrameHeader::kSize) {
      const uint64_t size = TFrameHeader::kSize + uint64_t{HeldDataSize(FBuffer.get())};
      const uint64_t start = FPosition - fill;
      // A record that runs past the frame area can never be completed: the file is damaged.
      if (size > FEnd - start) ReportDamage(start, "runs past the frame area");
      if (size > kMaxRecordBytes)
        ReportDamage(start, "claims " + std::to_string(size) + " bytes, more than the " +
                                std::to_string(kMaxRecordBytes) + " a record may have");
      if (FBufferSize < size) GrowBuffer(size, fill);
    }

    if (frames.IsFull() && (signalled || !targeted)) break;
  }
}

void TFileThread::DoSeek(uint32_t Time) {
  if (FFileKind != fkRecording || !FStream) return;
  FHalted = false;
  FBackoff.Delivered();
  int64_t key = FContext.Index.TimeAtOrBefore(Time);
  // Before the first key frame there is nothing to start from but the first key frame.
  if (key < 0) key = FContext.Index.FirstTime();
  const int64_t offset = key < 0 ? 0 : FContext.Index.PositionOf(static_cast<uint32_t>(key));
  FPosition = static_cast<uint64_t>(FStream->Seek(FDataStart + offset, TSeekOrigin::soBeginning));
  FLastTime.reset();
  FPromisedKey.reset();
  if (key >= 0) FPromisedKey = static_cast<uint32_t>(key);
  SetBufferFill(0);
  FContext.Frames.Clear();
  DoRead(Time);
}

void TFileThread::DoReset() {
  FPendingTarget.reset();
  FHalted = false;
  FBackoff.Delivered();
  // Drops the connection, and with it an Abort from Close, so the stream can be read again.
  if (FStream && SourceKind() == skWebFile) CloseNetworkHandles(*FStream);
  FLastTime.reset();
  FPromisedKey.reset();
  if (FFileKind == fkRecording && FStream) {
    FPosition = static_cast<uint64_t>(FStream->Seek(FDataStart, TSeekOrigin::soBeginning));
    SetBufferFill(0);
  }
  FContext.Frames.Clear();
}

}  // namespace kyv
