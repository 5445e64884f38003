#include "control/PlayerCore.h"

#include "context/UserMessages.h"
#include "platform/CacheFolder.h"
#include "platform/Errors.h"
#include "source/Address.h"
#include "source/DescriptionDownload.h"
#include "source/FileThread.h"
#include "source/live/KyvStream.h"
#include "source/multicast/KyvMulticastStream.h"

namespace kyv {

namespace {

using Clock = std::chrono::steady_clock;

// Every window message a source's workers post lies in this range; the control's other
// messages (thumbnails, full screen) lie above it and outlive a source.
constexpr UINT kFirstSourceMessage = UM_OPENED;
constexpr UINT kLastSourceMessage = UM_END;
static_assert(UM_SOURCE_ERROR > kFirstSourceMessage && UM_SOURCE_ERROR < kLastSourceMessage);
static_assert(UM_DIRTY > kFirstSourceMessage && UM_DIRTY < kLastSourceMessage);
static_assert(UM_MARKER > kFirstSourceMessage && UM_POSITION < kLastSourceMessage);
static_assert(UM_NAIL > kLastSourceMessage && UM_LEAVE_FULLSCREEN > kLastSourceMessage);

TRect UnpackDirty(const TMessage& m) {
  const auto w = static_cast<uint32_t>(m.WParam);
  const auto l = static_cast<uint32_t>(m.LParam);
  return {static_cast<int>(w >> 16), static_cast<int>(w & 0xFFFF), static_cast<int>(l >> 16),
          static_cast<int>(l & 0xFFFF)};
}

}  // namespace

TPlayerCore::TPlayerCore(std::string CacheFolder) : FCacheFolder(std::move(CacheFolder)) {
  FContext.Wnd = FPump.Handle();
}

TPlayerCore::~TPlayerCore() {
  Close();
}

void TPlayerCore::Open(const std::string& Address) {
  Close();
  FUrl = ResolveAddress(NormalizeAddress(Address), FContainerUrl);
  switch (ChooseReader(FUrl)) {
    case rkLiveTcp:
      FReader = TThread::Create<TKyvStream>(FContext, FStreamEvents);
      FLive = true;
      break;
    case rkMulticastLocal:
      FReader = TThread::Create<TKyvMulticastStream>(FContext);
      FLive = true;
      break;
    case rkMulticastRemote:
      // The description is read from a local copy, as one on disk is.
      FUrl = DownloadDescriptionFile(FUrl, FCacheFolder.empty()         ? CacheFolder()
                                           : FCacheFolder.back() == '/' ? FCacheFolder
                                                                        : FCacheFolder + '/');
      FReader = TThread::Create<TKyvMulticastStream>(FContext);
      FLive = true;
      break;
    case rkFile:
      FReader = TThread::Create<TFileThread>(FContext);
      FLive = false;
      break;
  }
  FContext.Reader.store(FReader.get(), std::memory_order_release);
  FPhase = spOpening;
  FReader->Open(FUrl);
}

void TPlayerCore::CreatePlayer() {
  FPlayer = TThread::Create<TPlayThread>(FContext, FCacheFolder);
  FPlayer->SetCacheKeyFrames(false);
  FContext.PlayerThread.store(FPlayer.get(), std::memory_order_release);
}

void TPlayerCore::Close() {
  // The play thread's stop also stops the reader, so neither produces anything afterwards.
  if (FPlayer) FPlayer->RequestStop();
  if (FReader) FReader->Close();
  FContext.PlayerThread.store(nullptr, std::memory_order_release);
  // The play thread ends first and its object stays until the reader, which may still be
  // posting to it, is gone; then neither can reach the other after it is freed.
  if (FPlayer) FPlayer->StopAndWait();
  FContext.Reader.store(nullptr, std::memory_order_release);
  FReader.reset();
  FPlayer.reset();
  FContext.Reset();
  // What the closed source still posted means nothing now; the control's own messages stay.
  FPump.Drop(kFirstSourceMessage, kLastSourceMessage);
  FPhase = spClosed;
  FLive = false;
}

void TPlayerCore::SeekLiveToNewest() {
  if (FLive && FPlayer) FPlayer->RequestSeek(FContext.Frames.LastTime());
}

std::string TPlayerCore::FailureCause(int Code) const {
  if (!FReader) return {};
  TSourceFailure failure = FReader->LastFailure();
  return failure.Code == Code ? std::move(failure.Cause) : std::string();
}

bool TPlayerCore::Drain(const std::function<bool()>& Until) {
  return FPump.Drain([this](const TMessage& m) { Handle(m); }, Until);
}

bool TPlayerCore::Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done) {
  const auto deadline = Clock::now() + Timeout;
  for (;;) {
    bool done = false;
    if (!Drain([&] { return done = Done && Done(); })) return false;
    if (done) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    FPump.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
  }
}

void TPlayerCore::Handle(const TMessage& Message) {
  FLastHandled = Message.Msg;
  // The phase tells a message of the open source from a late one of a source already closed.
  switch (Message.Msg) {
    case UM_OPENED:
      if (FPhase == spOpening) HandleOpened(static_cast<int>(Message.WParam));
      break;
    case UM_SOURCE_ERROR:
      if (FPhase != spClosed && FEvents.SourceError)
        FEvents.SourceError(static_cast<int>(Message.WParam));
      break;
    case UM_DIRTY:
      if (FPhase == spReady) HandleDirty(Message);
      break;
    case UM_MARKER:
      if (FPhase == spReady && FEvents.Marker) FEvents.Marker();
      break;
    case UM_POSITION:
      if (FPhase == spReady && FEvents.Position)
        FEvents.Position(static_cast<uint32_t>(Message.WParam));
      break;
    case UM_END:
      if (FPhase == spReady && FEvents.End) FEvents.End();
      break;
    default:
      if (Message.Msg > kLastSourceMessage && FEvents.Other) FEvents.Other(Message);
      break;
  }
}

void TPlayerCore::HandleOpened(int Code) {
  // Any other value than 0 is the code of a failed open; the reader stays until Close.
  if (Code != 0) {
    if (FEvents.SourceError) FEvents.SourceError(Code);
    return;
  }
  CreatePlayer();
  FPhase = spReady;
  if (FEvents.Opened) FEvents.Opened();
}

void TPlayerCore::HandleDirty(const TMessage& First) {
  // Changed areas still waiting are drawn together, as a screen would.
  TRect dirty = UnpackDirty(First);
  TMessage next;
  while (FPump.Take(next, UM_DIRTY, UM_DIRTY)) dirty = UnionRect(dirty, UnpackDirty(next));
  if (!dirty.IsEmpty() && FEvents.Dirty) FEvents.Dirty(dirty);
}

}  // namespace kyv
