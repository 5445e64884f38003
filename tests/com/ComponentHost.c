/* A host written in plain C that knows only the runtime's header and the test interface's:
   it registers the test component, creates it by program identifier, calls it by slot and by
   name, and receives its events through a sink of its own. Exit status 0 when all holds. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "EventSink.h"
#include "HostCheck.h"
#include "TestCalc.h"

/* ---- An event sink implemented in C ---------------------------------------------------- */

typedef struct TSink {
  TEventSink Sink; /* first */
  int Values[8];
  int ValueCount;
  int Keys;
  int16_t KeyReplacement;
} TSink;

static HRESULT SinkInvoke(IDispatch* This, DISPID member, REFIID riid, LCID lcid, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  TSink* sink = (TSink*)This;
  (void)riid, (void)lcid, (void)result, (void)excep, (void)argErr;
  if (flags != DISPATCH_METHOD || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  if (member == DISPID_TESTCALCEVENTS_ONVALUE && params->rgvarg[0].vt == VT_I4) {
    if (sink->ValueCount < 8) sink->Values[sink->ValueCount++] = params->rgvarg[0].u.lVal;
    return S_OK;
  }
  if (member == DISPID_TESTCALCEVENTS_ONKEY && params->rgvarg[0].vt == (VT_BYREF | VT_I2)) {
    ++sink->Keys;
    *params->rgvarg[0].u.piVal = sink->KeyReplacement; /* the host changes the key */
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

static const IDispatchVtbl kSinkVtbl = EVENT_SINK_VTBL(SinkInvoke);

/* ---- Helpers ------------------------------------------------------------------------------- */

static int SameText(BSTR text, const char16_t* expected) {
  UINT length = 0;
  while (expected[length] != 0) ++length;
  return SysStringLen(text) == length && memcmp(text, expected, length * sizeof(OLECHAR)) == 0;
}

static DISPID IdOf(IDispatch* object, const char16_t* name) {
  LPOLESTR names[1] = {(LPOLESTR)name};
  DISPID id = DISPID_UNKNOWN;
  object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

/* ---- The checks ---------------------------------------------------------------------------- */

static void CallBySlot(ITestCalc* calc) {
  int32_t sum = 0;
  CHECK(calc->lpVtbl->Add(calc, 40, 2, &sum) == S_OK && sum == 42);

  /* A BSTR goes in and comes back: its length prefix, its units, its terminator. */
  static const char16_t name[] = {'K', 'y', 'v', 0x4E2D, 0, 'x'}; /* an embedded zero */
  BSTR in = SysAllocStringLen(name, 6);
  CHECK(SysStringLen(in) == 6 && SysStringByteLen(in) == 12 && in[6] == 0);
  CHECK(((const uint32_t*)in)[-1] == 12);
  CHECK(calc->lpVtbl->put_Name(calc, in) == S_OK);
  BSTR out = NULL;
  CHECK(calc->lpVtbl->get_Name(calc, &out) == S_OK);
  CHECK(out != in && SysStringLen(out) == 6 && memcmp(out, name, sizeof name) == 0);
  SysFreeString(in);
  SysFreeString(out);

  int64_t big = 0;
  CHECK(calc->lpVtbl->put_Big(calc, 0x123456789AB) == S_OK);
  CHECK(calc->lpVtbl->get_Big(calc, &big) == S_OK && big == 0x123456789AB);
}

static void CallByName(ITestCalc* calc) {
  IDispatch* object = (IDispatch*)calc;
  CHECK(IdOf(object, u"aDD") == DISPID_TESTCALC_ADD);
  CHECK(IdOf(object, u"NoSuchMember") == DISPID_UNKNOWN);

  /* Add("40", 2): arguments last first, the text coerced to a number. */
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[1].vt = VT_BSTR;
  args[1].u.bstrVal = SysAllocString(u"40");
  args[0].vt = VT_I2;
  args[0].u.iVal = 2;
  DISPPARAMS params = {args, NULL, 2, 0};
  VARIANT result;
  VariantInit(&result);
  CHECK(object->lpVtbl->Invoke(object, DISPID_TESTCALC_ADD, &IID_NULL, 0, DISPATCH_METHOD, &params,
                               &result, NULL, NULL) == S_OK);
  CHECK(result.vt == VT_I4 && result.u.lVal == 42);

  /* The sum as text through VariantChangeType, and a copy that owns its own text. */
  CHECK(VariantChangeType(&result, &result, 0, VT_BSTR) == S_OK);
  CHECK(result.vt == VT_BSTR && SameText(result.u.bstrVal, u"42"));
  VARIANT copy;
  VariantInit(&copy);
  CHECK(VariantCopy(&copy, &result) == S_OK && copy.u.bstrVal != result.u.bstrVal);
  CHECK(SameText(copy.u.bstrVal, u"42"));
  VariantClear(&copy);
  VariantClear(&result);

  /* A property put needs its value named DISPID_PROPERTYPUT. */
  DISPID put = DISPID_PROPERTYPUT;
  VariantClear(&args[1]);
  args[0].vt = VT_BSTR;
  args[0].u.bstrVal = SysAllocString(u"by name");
  DISPPARAMS putParams = {args, &put, 1, 1};
  CHECK(object->lpVtbl->Invoke(object, DISPID_TESTCALC_NAME, &IID_NULL, 0, DISPATCH_PROPERTYPUT,
                               &putParams, NULL, NULL, NULL) == S_OK);
  DISPPARAMS unnamed = {args, NULL, 1, 0};
  CHECK(object->lpVtbl->Invoke(object, DISPID_TESTCALC_NAME, &IID_NULL, 0, DISPATCH_PROPERTYPUT,
                               &unnamed, NULL, NULL, NULL) == DISP_E_PARAMNOTFOUND);
  VariantClear(&args[0]);
  DISPPARAMS none = {NULL, NULL, 0, 0};
  CHECK(object->lpVtbl->Invoke(object, DISPID_TESTCALC_NAME, &IID_NULL, 0,
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, NULL,
                               NULL) == S_OK);
  CHECK(result.vt == VT_BSTR && SameText(result.u.bstrVal, u"by name"));
  VariantClear(&result);

  /* A wrong kind names its argument. */
  args[0].vt = VT_BSTR;
  args[0].u.bstrVal = SysAllocString(u"seven");
  args[1].vt = VT_I4;
  args[1].u.lVal = 1;
  UINT argErr = 99;
  CHECK(object->lpVtbl->Invoke(object, DISPID_TESTCALC_ADD, &IID_NULL, 0, DISPATCH_METHOD, &params,
                               &result, NULL, &argErr) == DISP_E_TYPEMISMATCH);
  CHECK(argErr == 0);
  VariantClear(&args[0]);
}

static void ReadFailure(ITestCalc* calc) {
  BSTR message = SysAllocStringUtf8("Unknown color format");
  CHECK(calc->lpVtbl->Fail(calc, message) == E_FAIL);
  IErrorInfo* info = NULL;
  CHECK(GetErrorInfo(0, &info) == S_OK && info != NULL);
  if (info != NULL) {
    BSTR description = NULL;
    CHECK(info->lpVtbl->GetDescription(info, &description) == S_OK);
    CHECK(SameText(description, u"Unknown color format"));
    SysFreeString(description);
    info->lpVtbl->Release(info);
  }
  CHECK(GetErrorInfo(0, &info) == S_FALSE && info == NULL); /* taken once */

  /* Late bound, the same failure arrives as DISP_E_EXCEPTION with its text. */
  VARIANT arg;
  arg.vt = VT_BSTR;
  arg.u.bstrVal = message;
  DISPPARAMS params = {&arg, NULL, 1, 0};
  EXCEPINFO exception;
  memset(&exception, 0, sizeof exception);
  CHECK(((IDispatch*)calc)
            ->lpVtbl->Invoke((IDispatch*)calc, DISPID_TESTCALC_FAIL, &IID_NULL, 0, DISPATCH_METHOD,
                             &params, NULL, &exception, NULL) == DISP_E_EXCEPTION);
  CHECK(exception.scode == E_FAIL && SameText(exception.bstrDescription, u"Unknown color format"));
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(message);
}

static void ReceiveEvents(ITestCalc* calc) {
  /* Without a sink, raising changes nothing and fails nothing. */
  CHECK(calc->lpVtbl->Fire(calc, 5) == S_OK);
  int32_t scaled = 0;
  CHECK(calc->lpVtbl->Scale(calc, 1, &scaled) == S_OK && scaled == 5);

  IConnectionPointContainer* container = NULL;
  CHECK(calc->lpVtbl->QueryInterface(calc, &IID_IConnectionPointContainer, (void**)&container) ==
        S_OK);
  if (container == NULL) return;
  IConnectionPoint* point = NULL;
  CHECK(container->lpVtbl->FindConnectionPoint(container, &DIID_ITestCalcEvents, &point) == S_OK);
  if (point != NULL) {
    TSink sink = {{{&kSinkVtbl}, 0, &DIID_ITestCalcEvents}, {0}, 0, 0, 7};
    DWORD cookie = 0;
    CHECK(point->lpVtbl->Advise(point, (IUnknown*)&sink, &cookie) == S_OK && cookie != 0);
    CHECK(calc->lpVtbl->Fire(calc, 11) == S_OK);
    CHECK(calc->lpVtbl->Fire(calc, 12) == S_OK);
    CHECK(sink.ValueCount == 2 && sink.Values[0] == 11 && sink.Values[1] == 12);
    CHECK(sink.Keys == 2);
    CHECK(calc->lpVtbl->Scale(calc, 3, &scaled) == S_OK && scaled == 21); /* key set by the sink */
    CHECK(point->lpVtbl->Unadvise(point, cookie) == S_OK);
    CHECK(point->lpVtbl->Unadvise(point, cookie) == CONNECT_E_NOCONNECTION);
    CHECK(calc->lpVtbl->Fire(calc, 13) == S_OK && sink.ValueCount == 2);
    CHECK(sink.Sink.Refs == 0);
    point->lpVtbl->Release(point);
  }
  container->lpVtbl->Release(container);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s COMPONENT.so\n", argv[0]);
    return 2;
  }
  char folder[] = "/tmp/kyv-registry-XXXXXX";
  if (mkdtemp(folder) == NULL) return 2;
  setenv("KYV_REGISTRY", folder, 1);

  TComponentLibrary library;
  if (!LoadComponent(argv[1], &library)) return 1;
  CHECK(library.Register() == S_OK);

  CLSID clsid;
  ITestCalc* calc = NULL;
  CHECK(CoCreateInstance(&CLSID_TestCalc, NULL, CLSCTX_INPROC_SERVER, &IID_ITestCalc,
                         (void**)&calc) == CO_E_NOTINITIALIZED);
  CHECK(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) == S_OK);
  CHECK(CLSIDFromProgID(u"" TESTCALC_PROGID, &clsid) == S_OK &&
        IsEqualGUID(&clsid, &CLSID_TestCalc));
  CHECK(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_ITestCalc, (void**)&calc) ==
        S_OK);
  if (calc != NULL) {
    CHECK(library.CanUnloadNow() == S_FALSE);
    CallBySlot(calc);
    CallByName(calc);
    ReadFailure(calc);
    ReceiveEvents(calc);
    CHECK(calc->lpVtbl->Release(calc) == 0);
  }
  CHECK(library.CanUnloadNow() == S_OK);
  CHECK(CoPumpMessages(0) == S_FALSE); /* no dispatcher registered on this thread */

  CHECK(library.Unregister() == S_OK);
  CHECK(CLSIDFromProgID(u"" TESTCALC_PROGID, &clsid) == CO_E_CLASSSTRING);
  CHECK(CoCreateInstance(&CLSID_TestCalc, NULL, CLSCTX_INPROC_SERVER, &IID_ITestCalc,
                         (void**)&calc) == REGDB_E_CLASSNOTREG);
  CHECK(rmdir(folder) == 0); /* unregistration left nothing behind */
  CoUninitialize();

  if (failures == 0) printf("component host: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
