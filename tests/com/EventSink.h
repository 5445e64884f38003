/* The IUnknown and IDispatch members of an event sink written in C, shared by the C hosts of the
   tests. A sink's struct starts with a TEventSink; it lives on the host's stack, so Release only
   counts (a test checks that every reference came back). */
#ifndef KYV_TESTS_EVENTSINK_H
#define KYV_TESTS_EVENTSINK_H

#include "kyv/kyvcom.h"

typedef struct TEventSink {
  IDispatch Base; /* first: the sink is its own IDispatch */
  ULONG Refs;
  const IID* Source; /* the event interface it answers besides IUnknown and IDispatch */
} TEventSink;

static inline HRESULT EventSinkQueryInterface(IDispatch* This, REFIID riid, void** ppv) {
  if (IsEqualGUID(riid, &IID_IUnknown) || IsEqualGUID(riid, &IID_IDispatch) ||
      IsEqualGUID(riid, ((TEventSink*)This)->Source)) {
    *ppv = This;
    This->lpVtbl->AddRef(This);
    return S_OK;
  }
  *ppv = NULL;
  return E_NOINTERFACE;
}

static inline ULONG EventSinkAddRef(IDispatch* This) {
  return ++((TEventSink*)This)->Refs;
}

static inline ULONG EventSinkRelease(IDispatch* This) {
  return --((TEventSink*)This)->Refs;
}

static inline HRESULT EventSinkGetTypeInfoCount(IDispatch* This, UINT* pctinfo) {
  (void)This;
  *pctinfo = 0;
  return S_OK;
}

static inline HRESULT EventSinkGetTypeInfo(IDispatch* This, UINT i, LCID l, ITypeInfo** pp) {
  (void)This, (void)i, (void)l;
  *pp = NULL;
  return E_NOTIMPL;
}

static inline HRESULT EventSinkGetIDsOfNames(IDispatch* This, REFIID r, LPOLESTR* n, UINT c, LCID l,
                                             DISPID* ids) {
  (void)This, (void)r, (void)n, (void)c, (void)l, (void)ids;
  return E_NOTIMPL;
}

/* The table of a sink whose events Invoke receives. */
#define EVENT_SINK_VTBL(Invoke)                                                            \
  {                                                                                        \
    EventSinkQueryInterface, EventSinkAddRef, EventSinkRelease, EventSinkGetTypeInfoCount, \
        EventSinkGetTypeInfo, EventSinkGetIDsOfNames, Invoke                               \
  }

#endif /* KYV_TESTS_EVENTSINK_H */
