#pragma once

#include <functional>

#include "com/ComObject.h"
#include "kyv/kyvplayer.h"

namespace kyv::player {

// The player's IKyvPlayerEvents sink: a plain dispatch object that turns the events the player
// uses into calls of its listener, and answers every other event with S_OK.
//
// Threads: the control raises the events used here on its own thread (the UI thread), where the
// listener runs and Detach is called. The live stream's events (OnScript, OnIndex,
// OnStreamSample, OnString) arrive on a worker thread; they are not used and touch nothing.
class TEventSink final : public com::TComObject<IDispatch> {
 public:
  struct TListener {
    std::function<void(TStatus NewState)> PlayStateChanged;
    std::function<void(TDisplayMode NewMode)> DisplayModeChanged;
    std::function<void(int32_t Seconds)> Skip;
  };

  explicit TEventSink(TListener Listener) : FListener(std::move(Listener)) {}
  // Later events call nothing.
  void Detach() { FListener = {}; }

  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

 private:
  TListener FListener;
};

}  // namespace kyv::player
