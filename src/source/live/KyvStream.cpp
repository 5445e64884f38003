#include "source/live/KyvStream.h"

#include <utility>

#include "com/ConnectionPoint.h"
#include "com/Variant.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "platform/TextCodec.h"
#include "platform/Window.h"

namespace kyv {

TKyvStream::TKyvStream(TPlayContext& Context, TComPtr<IDispatch> Events)
    : TKyvTCPClient(Context), FEvents(std::move(Events)) {}

TKyvStream::~TKyvStream() {
  // The thread raises events through FEvents: it ends before the reference goes.
  StopAndWait();
}

void TKyvStream::SetEvents(TComPtr<IDispatch> Events) {
  TComPtr<IDispatch> old;
  {
    std::lock_guard lock(FEventsLock);
    old = std::exchange(FEvents, std::move(Events));
  }
  // The old sink is released outside the lock, in case its last release does more.
}

TComPtr<IDispatch> TKyvStream::Events() const {
  std::lock_guard lock(FEventsLock);
  return FEvents;
}

void TKyvStream::DoReset() {
  TKyvTCPClient::DoReset();
  FStore.Reset();
  FContext.Frames.Clear();
}

void TKyvStream::DoPictureSize(uint16_t Width, uint16_t Height) {
  TKyvTCPClient::DoPictureSize(Width, Height);
  FContext.Header.Width = Width;
  FContext.Header.Height = Height;
  PostMessage(FContext.Wnd, UM_OPENED, 0, 0);
}

void TKyvStream::DoError(int Code) {
  PostMessage(FContext.Wnd, UM_SOURCE_ERROR, static_cast<WPARAM>(Code), 0);
}

void TKyvStream::DoFrame(TFrameRecord& Frame) {
  if (const TComPtr<IDispatch> sink = Events()) {
    const auto address = reinterpret_cast<intptr_t>(Frame.Bytes());
    com::TVariant data;
    if constexpr (sizeof(intptr_t) == 8)
      data = com::TVariant::I8(static_cast<int64_t>(address));
    else
      data = com::TVariant::I4(static_cast<int32_t>(address));
    com::InvokeMethod(*sink, kOnStreamSample, std::span<com::TVariant>(&data, 1));
  }
  FStore.Add(std::move(Frame));
}

void TKyvStream::RaiseText(DISPID Member, std::string_view Text) {
  const TComPtr<IDispatch> sink = Events();
  if (!sink) return;
  com::TVariant text = com::TVariant::Text(ToUtf16(Text));
  com::InvokeMethod(*sink, Member, std::span<com::TVariant>(&text, 1));
}

void TKyvStream::DoIndexText(std::string_view Text) {
  RaiseText(kOnIndex, Text);
}

void TKyvStream::DoScriptText(std::string_view Text) {
  RaiseText(kOnScript, Text);
}

void TKyvStream::DoStringText(std::string_view Text) {
  RaiseText(kOnString, Text);
}

}  // namespace kyv
