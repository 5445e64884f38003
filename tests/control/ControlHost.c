/* A host written in plain C that knows only the public headers and has no toolkit of its own:
   it registers the control library into a registry of its own, creates the control by program
   identifier (which brings its own Qt application), listens to its state through a sink of its
   own, opens a recording, pumps the thread with CoPumpMessages until it plays, scripts it by
   slot and by name, finds its widget, and takes it down.
   Usage: LIBRARY FOLDER SAMPLE WIDTH HEIGHT DURATION, FOLDER an empty folder for the registry
   and the cache, SAMPLE a recording in a folder of its own with WIDTH, HEIGHT and DURATION.
   Exit status 0 when all holds. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "EventSink.h"
#include "HostCheck.h"
#include "kyv/kyvcom.h"
#include "kyv/kyvplayer.h"
#include "kyv/kyvplayerhost.h"

/* ---- The event sink ---------------------------------------------------------------------- */

#define MAX_STATES 32

typedef struct TSink {
  TEventSink Sink; /* first */
  int States[MAX_STATES];
  int StateCount;
  int Others; /* events with a wrong argument */
} TSink;

static HRESULT SinkInvoke(IDispatch* This, DISPID member, REFIID riid, LCID lcid, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  TSink* sink = (TSink*)This;
  (void)riid, (void)lcid, (void)result, (void)excep, (void)argErr;
  if (member != DISPID_KYVPLAYEREVENTS_ONPLAYSTATECHANGED) return S_OK;
  if (flags != DISPATCH_METHOD || params->cArgs != 1 || params->rgvarg[0].vt != VT_I4) {
    ++sink->Others;
    return DISP_E_BADPARAMCOUNT;
  }
  if (sink->StateCount < MAX_STATES) sink->States[sink->StateCount++] = params->rgvarg[0].u.lVal;
  return S_OK;
}

static const IDispatchVtbl kSinkVtbl = EVENT_SINK_VTBL(SinkInvoke);

static int Saw(const TSink* sink, int state) {
  for (int i = 0; i < sink->StateCount; ++i)
    if (sink->States[i] == state) return 1;
  return 0;
}

static int SawExactly(const TSink* sink, const int* states, int count) {
  if (sink->StateCount != count) return 0;
  for (int i = 0; i < count; ++i)
    if (sink->States[i] != states[i]) return 0;
  return 1;
}

/* ---- Helpers ------------------------------------------------------------------------------- */

/* The text as UTF-8 (ASCII is all these checks need), in a buffer of the caller's. */
static const char* Narrow(BSTR text, char* buffer, size_t size) {
  UINT length = SysStringLen(text);
  size_t i = 0;
  for (; i < length && i + 1 < size; ++i) buffer[i] = text[i] < 0x80 ? (char)text[i] : '?';
  buffer[i] = 0;
  return buffer;
}

static int TextIs(BSTR text, const char* expected) {
  char buffer[512];
  return strcmp(Narrow(text, buffer, sizeof buffer), expected) == 0;
}

/* Pumps the thread in short slices until Done holds or about 20 seconds pass. */
static int PumpUntil(int (*done)(void* context), void* context) {
  for (int slice = 0; slice < 400; ++slice) {
    if (done(context)) return 1;
    CoPumpMessages(50);
  }
  return done(context);
}

typedef struct TPlayingWait {
  const TSink* Sink;
} TPlayingWait;

static int IsPlaying(void* context) {
  return Saw(((TPlayingWait*)context)->Sink, vpPlaying);
}

static int HasSourceError(void* context) {
  IKyvPlayerHost* host = (IKyvPlayerHost*)context;
  int32_t code = 0;
  host->lpVtbl->GetLastSourceError(host, &code, NULL, NULL);
  return code != 0;
}

static HRESULT OpenText(IKyvPlayer* player, const char* address) {
  BSTR text = SysAllocStringUtf8(address);
  HRESULT result = player->lpVtbl->Open(player, text);
  SysFreeString(text);
  return result;
}

/* ---- The checks ---------------------------------------------------------------------------- */

/* A missing file: the host learns why through its own interface. */
static void FailedOpen(IKyvPlayer* player, IKyvPlayerHost* host, TSink* sink, const char* folder) {
  char missing[4096];
  snprintf(missing, sizeof missing, "%.2000s/missing.kyv", folder);
  int32_t code = -1;
  BSTR text = NULL, cause = NULL;
  CHECK(host->lpVtbl->GetLastSourceError(host, &code, &text, &cause) == S_OK && code == 0);
  CHECK(SysStringLen(text) == 0 && SysStringLen(cause) == 0);
  SysFreeString(text);
  SysFreeString(cause);

  CHECK(OpenText(player, missing) == S_OK);
  CHECK(PumpUntil(HasSourceError, host));
  CHECK(host->lpVtbl->GetLastSourceError(host, &code, &text, &cause) == S_OK && code != 0);
  char buffer[512];
  CHECK(SysStringLen(text) > 0);
  CHECK(strstr(Narrow(cause, buffer, sizeof buffer), "No such file or directory") != NULL);
  SysFreeString(text);
  SysFreeString(cause);
  CHECK(player->lpVtbl->Close(player) == S_OK);
  static const int kStates[] = {vpOpening, vpClosed};
  CHECK(SawExactly(sink, kStates, 2));
}

/* A bare name opens beside the hosting document; the control plays once pumped. */
static void OpenAndPlay(IKyvPlayer* player, IKyvPlayerHost* host, TSink* sink, const char* folder,
                        const char* sample) {
  char page[4096];
  snprintf(page, sizeof page, "file://%.2000s/page.htm", folder);
  BSTR url = SysAllocStringUtf8(page);
  CHECK(host->lpVtbl->put_ContainerUrl(host, url) == S_OK);
  SysFreeString(url);
  url = NULL;
  CHECK(host->lpVtbl->get_ContainerUrl(host, &url) == S_OK && TextIs(url, page));
  SysFreeString(url);

  const char* name = strrchr(sample, '/') != NULL ? strrchr(sample, '/') + 1 : sample;
  sink->StateCount = 0;
  CHECK(OpenText(player, name) == S_OK);
  url = NULL;
  CHECK(player->lpVtbl->get_URL(player, &url) == S_OK && TextIs(url, sample));
  SysFreeString(url);
  TPlayingWait wait = {sink};
  CHECK(PumpUntil(IsPlaying, &wait));
  static const int kStates[] = {vpOpening, vpOpened, vpPlaying};
  CHECK(SawExactly(sink, kStates, 3));
}

static void ReadProperties(IKyvPlayer* player, int width, int height, int duration) {
  int32_t value = 0;
  CHECK(player->lpVtbl->get_KyvWidth(player, &value) == S_OK && value == width);
  CHECK(player->lpVtbl->get_KyvHeight(player, &value) == S_OK && value == height);
  CHECK(player->lpVtbl->get_Duration(player, &value) == S_OK && value == duration);
  CHECK(player->lpVtbl->get_Duration(player, NULL) == E_POINTER);

  /* Status by name, late bound. */
  IDispatch* object = (IDispatch*)player;
  LPOLESTR names[1] = {(LPOLESTR)u"status"};
  DISPID id = DISPID_UNKNOWN;
  CHECK(object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) ==
        S_OK);
  CHECK(id == DISPID_KYVPLAYER_STATUS);
  DISPPARAMS none = {NULL, NULL, 0, 0};
  VARIANT result;
  VariantInit(&result);
  CHECK(object->lpVtbl->Invoke(object, id, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                               &none, &result, NULL, NULL) == S_OK);
  CHECK(result.vt == VT_I4 && result.u.lVal == vpPlaying);
  VariantClear(&result);
}

/* The control's form exists as a widget, and its caption is the widget's. */
static void Form(IKyvPlayer* player, IKyvPlayerHost* host) {
  void* widget = NULL;
  CHECK(host->lpVtbl->GetWidget(host, &widget) == S_OK && widget != NULL);
  BSTR caption = NULL;
  CHECK(player->lpVtbl->get_Caption(player, &caption) == S_OK &&
        TextIs(caption, "Kavrindel KyvPlayer"));
  SysFreeString(caption);
  caption = SysAllocStringUtf8("Lecture");
  CHECK(player->lpVtbl->put_Caption(player, caption) == S_OK);
  SysFreeString(caption);
  caption = NULL;
  CHECK(player->lpVtbl->get_Caption(player, &caption) == S_OK && TextIs(caption, "Lecture"));
  SysFreeString(caption);
}

static void BadColor(IKyvPlayer* player) {
  ISupportErrorInfo* support = NULL;
  CHECK(player->lpVtbl->QueryInterface(player, &IID_ISupportErrorInfo, (void**)&support) == S_OK);
  if (support != NULL) {
    CHECK(support->lpVtbl->InterfaceSupportsErrorInfo(support, &IID_IKyvPlayer) == S_OK);
    support->lpVtbl->Release(support);
  }

  BSTR color = SysAllocStringUtf8("FF8000");
  CHECK(FAILED(player->lpVtbl->put_bgColor(player, color)));
  SysFreeString(color);
  IErrorInfo* info = NULL;
  CHECK(GetErrorInfo(0, &info) == S_OK && info != NULL);
  if (info != NULL) {
    BSTR description = NULL;
    CHECK(info->lpVtbl->GetDescription(info, &description) == S_OK);
    CHECK(TextIs(description, "Unknown color format"));
    SysFreeString(description);
    info->lpVtbl->Release(info);
  }

  color = SysAllocStringUtf8("#FF8000");
  CHECK(player->lpVtbl->put_bgColor(player, color) == S_OK);
  SysFreeString(color);
  color = NULL;
  CHECK(player->lpVtbl->get_bgColor(player, &color) == S_OK && TextIs(color, "#FF8000"));
  SysFreeString(color);
}

static void Run(IKyvPlayer* player, const char* sample, int width, int height, int duration) {
  char folder[2048];
  if (snprintf(folder, sizeof folder, "%s", sample) >= (int)sizeof folder) {
    CHECK(!"the sample's path fits");
    return;
  }
  char* slash = strrchr(folder, '/');
  if (slash != NULL) *slash = 0;

  IKyvPlayerHost* host = NULL;
  CHECK(player->lpVtbl->QueryInterface(player, &IID_IKyvPlayerHost, (void**)&host) == S_OK);
  IConnectionPointContainer* container = NULL;
  CHECK(player->lpVtbl->QueryInterface(player, &IID_IConnectionPointContainer,
                                       (void**)&container) == S_OK);
  if (host == NULL || container == NULL) return;
  IConnectionPoint* point = NULL;
  CHECK(container->lpVtbl->FindConnectionPoint(container, &DIID_IKyvPlayerEvents, &point) == S_OK);
  container->lpVtbl->Release(container);
  if (point == NULL) return;
  TSink sink;
  memset(&sink, 0, sizeof sink);
  sink.Sink.Base.lpVtbl = &kSinkVtbl;
  sink.Sink.Source = &DIID_IKyvPlayerEvents;
  DWORD cookie = 0;
  CHECK(point->lpVtbl->Advise(point, (IUnknown*)&sink, &cookie) == S_OK);

  FailedOpen(player, host, &sink, folder);
  OpenAndPlay(player, host, &sink, folder, sample);
  ReadProperties(player, width, height, duration);
  Form(player, host);
  BadColor(player);

  sink.StateCount = 0;
  CHECK(player->lpVtbl->Close(player) == S_OK);
  static const int kClosed[] = {vpClosed};
  CHECK(SawExactly(&sink, kClosed, 1));
  CHECK(sink.Others == 0);

  CHECK(point->lpVtbl->Unadvise(point, cookie) == S_OK);
  CHECK(sink.Sink.Refs == 0);
  point->lpVtbl->Release(point);
  host->lpVtbl->Release(host);
}

int main(int argc, char** argv) {
  if (argc != 7) {
    fprintf(stderr, "usage: %s LIBRARY FOLDER SAMPLE WIDTH HEIGHT DURATION\n", argv[0]);
    return 2;
  }
  char path[4096];
  snprintf(path, sizeof path, "%s/registry", argv[2]);
  setenv("KYV_REGISTRY", path, 1);
  snprintf(path, sizeof path, "%s/cache", argv[2]);
  setenv("XDG_CACHE_HOME", path, 1);

  TComponentLibrary library;
  if (!LoadComponent(argv[1], &library)) return 1;
  CHECK(library.Register() == S_OK);

  CHECK(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) == S_OK);
  CLSID clsid;
  CHECK(CLSIDFromProgID(u"" KYVPLAYER_PROGID, &clsid) == S_OK &&
        IsEqualGUID(&clsid, &CLSID_KyvPlayerCtrl));
  IKyvPlayer* player = NULL;
  CHECK(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IKyvPlayer, (void**)&player) ==
        S_OK);
  if (player != NULL) {
    CHECK(library.CanUnloadNow() == S_FALSE);
    Run(player, argv[3], atoi(argv[4]), atoi(argv[5]), atoi(argv[6]));
    CHECK(player->lpVtbl->Release(player) == 0);
  }
  CHECK(library.CanUnloadNow() == S_OK);
  CHECK(CoPumpMessages(0) == S_FALSE); /* the control took its dispatcher with it */

  CHECK(library.Unregister() == S_OK);
  CoUninitialize();

  if (failures == 0) printf("control host: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
