#include "source/live/KyvStream.h"

#include <utility>

#include "platform/Window.h"
#include "play/PlayContext.h"
#include "source/UserMessages.h"

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
    VARIANT data;
    if constexpr (sizeof(intptr_t) == 8)
      data = VARIANT::I8(static_cast<int64_t>(address));
    else
      data = VARIANT::I4(static_cast<int32_t>(address));
    InvokeMethod(*sink, kOnStreamSample, std::span<const VARIANT>(&data, 1));
  }
  FStore.Add(std::move(Frame));
}

void TKyvStream::RaiseText(DISPID Member, std::string_view Text) {
  const TComPtr<IDispatch> sink = Events();
  if (!sink) return;
  const VARIANT text = VARIANT::Bstr(ToBstr(Text));
  InvokeMethod(*sink, Member, std::span<const VARIANT>(&text, 1));
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
