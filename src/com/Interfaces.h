#pragma once

#include <type_traits>

#include "kyv/kyvcom.h"

namespace kyv::com {

// The identifier of each interface and the one it derives from, so that an object answers
// QueryInterface for an interface and all it derives from. A component adds a specialisation
// for each interface of its own.
template <class I>
struct TInterfaceTraits;

template <>
struct TInterfaceTraits<IUnknown> {
  using Base = void;
  static const IID& Iid() noexcept { return IID_IUnknown; }
};
template <>
struct TInterfaceTraits<IDispatch> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_IDispatch; }
};
template <>
struct TInterfaceTraits<IClassFactory> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_IClassFactory; }
};
template <>
struct TInterfaceTraits<IConnectionPoint> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_IConnectionPoint; }
};
template <>
struct TInterfaceTraits<IConnectionPointContainer> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_IConnectionPointContainer; }
};
template <>
struct TInterfaceTraits<IErrorInfo> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_IErrorInfo; }
};
template <>
struct TInterfaceTraits<ISupportErrorInfo> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_ISupportErrorInfo; }
};
template <>
struct TInterfaceTraits<ITypeInfo> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_ITypeInfo; }
};

template <>
struct TInterfaceTraits<ITypeLib> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_ITypeLib; }
};

template <class I>
const IID& IidOf() noexcept {
  return TInterfaceTraits<I>::Iid();
}

// True when I or an interface it derives from is Iid.
template <class I>
bool Answers(const IID& Iid) noexcept {
  if (IsEqualGUID(Iid, TInterfaceTraits<I>::Iid())) return true;
  using Base = typename TInterfaceTraits<I>::Base;
  if constexpr (std::is_void_v<Base>)
    return false;
  else
    return Answers<Base>(Iid);
}

}  // namespace kyv::com
