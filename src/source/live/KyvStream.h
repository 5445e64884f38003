#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>

#include "com/ComPtr.h"
#include "source/LiveStore.h"
#include "source/live/KyvTCPClient.h"

namespace kyv {

using com::TComPtr;

// The control's live TCP source: it puts the received frame records into the play context's
// frames buffer (key frames also into its index, bounded) within the store's budget
// (TLiveStore), tells the control's window UM_OPENED at the first key frame and
// UM_SOURCE_ERROR with a reader code on a failure, and raises the stream events on the host's
// event sink.
//
// Threads. The events are raised on the reader thread, without marshalling, while the sink
// may be replaced from any thread: FEventsLock guards the reference, and each raise holds its
// own reference for the call, so a sink released meanwhile lives until the call returns. A sink
// must not Close the stream from inside an event (Close waits for this very thread).
class TKyvStream : public TKyvTCPClient {
 public:
  // The events' member numbers in the control's event interface.
  static constexpr DISPID kOnScript = 204;
  static constexpr DISPID kOnIndex = 205;
  static constexpr DISPID kOnStreamSample = 206;
  static constexpr DISPID kOnString = 207;
  // Above this many bytes in the frames buffer the play thread is asked to trim it.
  static constexpr int64_t kTrimBytes = TLiveStore::kTrimBytes;

  explicit TKyvStream(TPlayContext& Context, TComPtr<IDispatch> Events = {});
  ~TKyvStream() override;

  // Any thread: the sink that receives the events from now on; null for none.
  void SetEvents(TComPtr<IDispatch> Events);

 protected:
  void DoReset() override;
  void DoPictureSize(uint16_t Width, uint16_t Height) override;
  void DoError(int Code) override;
  // Raises OnStreamSample with the record's address (a 64-bit integer on 64-bit builds; the
  // record is valid during the call only), then hands the record to the frames buffer.
  void DoFrame(TFrameRecord& Frame) override;
  void DoIndexText(std::string_view Text) override;
  void DoScriptText(std::string_view Text) override;
  void DoStringText(std::string_view Text) override;

 private:
  TComPtr<IDispatch> Events() const;
  void RaiseText(DISPID Member, std::string_view Text);

  TLiveStore FStore{FContext};  // reader thread only

  mutable std::mutex FEventsLock;
  TComPtr<IDispatch> FEvents;  // guarded by FEventsLock
};

}  // namespace kyv
