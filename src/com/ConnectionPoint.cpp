#include "com/ConnectionPoint.h"

#include <algorithm>

namespace kyv::com {

HRESULT TConnectionPoint::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  *ppvObject = nullptr;
  if (!Answers<IConnectionPoint>(riid)) return E_NOINTERFACE;
  *ppvObject = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT TConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (pIID == nullptr) return E_POINTER;
  *pIID = FSource;
  return S_OK;
}

HRESULT TConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (ppCPC == nullptr) return E_POINTER;
  FOwner.AddRef();
  *ppCPC = &FOwner;
  return S_OK;
}

HRESULT TConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (pdwCookie == nullptr) return E_POINTER;
  *pdwCookie = 0;
  if (pUnkSink == nullptr) return E_POINTER;
  void* found = nullptr;
  if (FAILED(pUnkSink->QueryInterface(FSource, &found)) &&
      FAILED(pUnkSink->QueryInterface(IID_IDispatch, &found)))
    return CONNECT_E_CANNOTCONNECT;
  auto target = TComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(found));
  std::lock_guard lock(FLock);
  auto sinks = FSinks ? std::make_shared<TSinks>(*FSinks) : std::make_shared<TSinks>();
  const DWORD cookie = FNextCookie++;
  sinks->push_back({cookie, std::move(target)});
  FSinks = std::move(sinks);
  *pdwCookie = cookie;
  return S_OK;
}

HRESULT TConnectionPoint::Unadvise(DWORD dwCookie) {
  std::shared_ptr<const TSinks> old;
  {
    std::lock_guard lock(FLock);
    if (!FSinks) return CONNECT_E_NOCONNECTION;
    auto sinks = std::make_shared<TSinks>(*FSinks);
    const auto it = std::find_if(sinks->begin(), sinks->end(),
                                 [&](const TSink& sink) { return sink.Cookie == dwCookie; });
    if (it == sinks->end()) return CONNECT_E_NOCONNECTION;
    sinks->erase(it);
    old = std::exchange(FSinks, std::move(sinks));
  }
  // The sink's reference goes outside the lock, in case its last release does more.
  return S_OK;
}

HRESULT TConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

std::shared_ptr<const TConnectionPoint::TSinks> TConnectionPoint::Snapshot() const {
  std::lock_guard lock(FLock);
  return FSinks;
}

bool TConnectionPoint::HasSinks() const {
  const auto sinks = Snapshot();
  return sinks && !sinks->empty();
}

void TConnectionPoint::Raise(DISPID Member, std::span<TVariant> Args) const {
  const auto sinks = Snapshot();
  if (!sinks) return;
  for (const TSink& sink : *sinks) InvokeMethod(*sink.Target, Member, Args);
}

HRESULT InvokeMethod(IDispatch& Target, DISPID Member, std::span<TVariant> Args, VARIANT* Result) {
  constexpr size_t kMaxArgs = 8;
  if (Args.size() > kMaxArgs) return E_INVALIDARG;
  // Shallow copies, last first: the values stay owned by Args, and a by-reference argument
  // still points where the caller's does.
  VARIANT reversed[kMaxArgs];
  for (size_t i = 0; i < Args.size(); ++i) reversed[i] = Args[Args.size() - 1 - i];
  DISPPARAMS params{Args.empty() ? nullptr : reversed, nullptr, static_cast<UINT>(Args.size()), 0};
  UINT argError = 0;
  return Target.Invoke(Member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, Result,
                       nullptr, &argError);
}

}  // namespace kyv::com
