#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "com/ComPtr.h"
#include "com/Variant.h"

namespace kyv::com {

// The connection point of one source interface, part of the object that raises its events: its
// references are the owner's. Sinks connect and disconnect on any thread, and events may be
// raised on any thread (the live stream raises on its own): each raise works on a snapshot of
// the sinks, so a sink may Unadvise from inside an event.
class TConnectionPoint final : public IConnectionPoint {
 public:
  // Owner is the container's identity; it outlives the point (the point is its member).
  TConnectionPoint(IConnectionPointContainer& Owner, const IID& Source) noexcept
      : FOwner(Owner), FSource(Source) {}
  TConnectionPoint(const TConnectionPoint&) = delete;
  TConnectionPoint& operator=(const TConnectionPoint&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override { return FOwner.AddRef(); }
  ULONG Release() override { return FOwner.Release(); }
  HRESULT GetConnectionInterface(IID* pIID) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  // The sink must answer the source interface or IDispatch; cookies start at 1.
  HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  HRESULT Unadvise(DWORD dwCookie) override;
  HRESULT EnumConnections(IEnumConnections** ppEnum) override;

  const IID& Source() const noexcept { return FSource; }
  bool HasSinks() const;
  // Calls Member on every sink with Args in the order a caller writes them and ignores what
  // the sinks answer. A by-reference argument lets each sink in turn change the value.
  void Raise(DISPID Member, std::span<TVariant> Args) const;

 private:
  struct TSink {
    DWORD Cookie;
    TComPtr<IDispatch> Target;
  };
  using TSinks = std::vector<TSink>;

  std::shared_ptr<const TSinks> Snapshot() const;

  IConnectionPointContainer& FOwner;
  const IID FSource;
  mutable std::mutex FLock;
  std::shared_ptr<const TSinks> FSinks;  // guarded by FLock; replaced, never changed in place
  DWORD FNextCookie = 1;                 // guarded by FLock
};

// Calls Member of Target as a method with Args in the order a caller writes them (at most 8),
// and returns Target's result.
HRESULT InvokeMethod(IDispatch& Target, DISPID Member, std::span<TVariant> Args,
                     VARIANT* Result = nullptr);

}  // namespace kyv::com
