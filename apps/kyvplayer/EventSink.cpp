#include "EventSink.h"

namespace kyv::player {

namespace {

// The event's one argument as a 32-bit integer; false when it has no such argument.
bool SingleInteger(const DISPPARAMS* Params, int32_t& Value) {
  if (Params == nullptr || Params->cArgs != 1 || Params->rgvarg == nullptr) return false;
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &Params->rgvarg[0], 0, VT_I4))) return false;
  Value = converted.u.lVal;
  return true;
}

}  // namespace

HRESULT TEventSink::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT TEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo != nullptr) *ppTInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT TEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT TEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                           VARIANT*, EXCEPINFO*, UINT*) {
  int32_t value = 0;
  // Nothing may escape into the control, which raised the event.
  try {
    switch (dispIdMember) {
      case DISPID_KYVPLAYEREVENTS_ONPLAYSTATECHANGED:
        if (!SingleInteger(pDispParams, value)) return DISP_E_BADPARAMCOUNT;
        if (FListener.PlayStateChanged) FListener.PlayStateChanged(static_cast<TStatus>(value));
        break;
      case DISPID_KYVPLAYEREVENTS_ONDISPLAYMODECHANGED:
        if (!SingleInteger(pDispParams, value)) return DISP_E_BADPARAMCOUNT;
        if (FListener.DisplayModeChanged)
          FListener.DisplayModeChanged(static_cast<TDisplayMode>(value));
        break;
      case DISPID_KYVPLAYEREVENTS_ONSKIP:
        if (!SingleInteger(pDispParams, value)) return DISP_E_BADPARAMCOUNT;
        if (FListener.Skip) FListener.Skip(value);
        break;
      default:
        break;
    }
  } catch (...) {
    return E_UNEXPECTED;
  }
  return S_OK;
}

}  // namespace kyv::player
