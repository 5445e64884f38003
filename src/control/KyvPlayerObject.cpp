#include "control/KyvPlayerObject.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "com/Bstr.h"
#include "control/KyvPlayerTypeLib.h"
#include "control/Registration.h"
#include "platform/Errors.h"

namespace kyv {

using com::MakeCom;
using com::TBstr;
using std::chrono::milliseconds;

namespace {

// The integer a host passed for an enumeration, read without taking it for one: a value outside
// the enumeration is the host's mistake, to be refused, not a fault of ours.
template <class E>
int32_t RawValue(const E& Value) noexcept {
  static_assert(sizeof(E) == sizeof(int32_t));
  int32_t raw = 0;
  std::memcpy(&raw, &Value, sizeof raw);
  return raw;
}

VARIANT_BOOL ToVariantBool(bool Value) noexcept {
  return Value ? VARIANT_TRUE : VARIANT_FALSE;
}

std::string Utf8(BSTR Text) {
  return com::Utf16ToUtf8(TBstr::View(Text));
}

BSTR NewText(std::u16string_view Text) {
  return TBstr(Text).Detach();
}

BSTR NewText(const std::string& Text) {
  return TBstr::FromUtf8(Text).Detach();
}

void SetErrorText(const char* Text) noexcept {
  KyvSetErrorText(IID_IKyvPlayer, kProgId, Text);
}

// The live stream's events to the control's sinks: the stream calls this on its own thread, and
// each call is raised on every sink as it came. It borrows the point: the control, which holds
// the stream that holds this, goes before the point.
class TStreamEventsForwarder final : public com::TComObject<IDispatch> {
 public:
  explicit TStreamEventsForwarder(const com::TConnectionPoint& Point) noexcept : FPoint(Point) {}

  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    constexpr UINT kMaxArgs = 2;
    if (Params == nullptr || Params->cArgs > kMaxArgs || Params->cNamedArgs != 0)
      return DISP_E_BADPARAMCOUNT;
    if (!FPoint.HasSinks()) return S_OK;
    try {
      // The sinks' order is the caller's: rgvarg holds the last argument first.
      com::TVariant args[kMaxArgs];
      for (UINT i = 0; i < Params->cArgs; ++i) {
        const HRESULT copied = VariantCopy(&args[i], &Params->rgvarg[Params->cArgs - 1 - i]);
        if (FAILED(copied)) return copied;
      }
      FPoint.Raise(Member, std::span<com::TVariant>(args, Params->cArgs));
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  const com::TConnectionPoint& FPoint;
};

// The objects that live on this thread, which CoPumpMessages runs. Not owned: each leaves the
// list before it goes.
thread_local std::vector<TKyvPlayerObject*> tObjects;

// Whether Object is still on the thread's list (an event handler may have released it).
bool Alive(const TKyvPlayerObject* Object) {
  return std::find(tObjects.begin(), tObjects.end(), Object) != tObjects.end();
}

// One step of a few objects shares the time: none waits long while another has messages.
constexpr milliseconds kSharedSlice{10};

HRESULT PumpThreadObjects(void*, int32_t TimeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (;;) {
    // A snapshot, each object kept alive for its turn: handlers may add or release objects.
    std::vector<com::TComPtr<IKyvPlayer>> objects;
    for (TKyvPlayerObject* object : tObjects) objects.emplace_back(object);
    if (objects.empty()) return S_FALSE;
    const auto elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    milliseconds slice{0};
    if (TimeoutMs < 0)
      slice = kSharedSlice * 10;
    else if (elapsed < milliseconds(TimeoutMs))
      slice = milliseconds(TimeoutMs) - elapsed;
    if (objects.size() > 1) slice = std::min(slice, kSharedSlice);
    bool busy = false;
    for (auto& object : objects) {
      auto* control = static_cast<TKyvPlayerObject*>(object.Get());
      if (!Alive(control)) continue;
      control->PumpFor(slice);
      busy = busy || control->Busy();
    }
    const auto now = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    if (TimeoutMs < 0 ? !busy : now >= milliseconds(TimeoutMs)) return S_OK;
  }
}

void JoinThreadPump(TKyvPlayerObject* Object) {
  tObjects.push_back(Object);
  if (tObjects.size() == 1) CoRegisterMessageDispatcher(&PumpThreadObjects, nullptr);
}

void LeaveThreadPump(TKyvPlayerObject* Object) {
  std::erase(tObjects, Object);
  if (tObjects.empty()) CoRegisterMessageDispatcher(nullptr, nullptr);
}

}  // namespace

TKyvPlayerObject::TKyvPlayerObject(std::string CacheFolder, const TControlFormFactory& FormFactory)
    : FDispatch(KyvPlayerTypeLibrary(), kTypeIKyvPlayer),
      FPoint(*this, DIID_IKyvPlayerEvents),
      FControl(std::move(CacheFolder)),
      FForm(FormFactory ? FormFactory(FControl, FRaiser) : std::make_unique<TKeptControlForm>()) {
  FControl.SetEvents(&FAdapter);
  FForm->SetOwner(static_cast<IKyvPlayer*>(this));
  FControl.Core().SetStreamEvents(MakeCom<TStreamEventsForwarder>(FPoint));
  JoinThreadPump(this);
}

TKyvPlayerObject::~TKyvPlayerObject() {
  LeaveThreadPump(this);
  FControl.SetEvents(nullptr);
}

void TKyvPlayerObject::PumpFor(milliseconds Timeout) {
  try {
    if (FForm->RunEvents(Timeout)) return;
    if (Timeout.count() <= 0) {
      FControl.Drain();
      FControl.RunTimers();
    } else {
      FControl.Pump(Timeout);
    }
  } catch (const std::exception& e) {
    // The host's loop has nobody to hand this to; the control stays usable.
    SetErrorText(e.what());
  }
}

bool TKyvPlayerObject::Busy() const noexcept {
  const TStatus status = FControl.Status();
  return (status == vpOpening && !FAdapter.OpenFailed) || status == vpPlaying ||
         status == vpScanForward || FControl.ReconnectPending();
}

template <class F>
HRESULT TKyvPlayerObject::Guard(F&& Body) noexcept {
  AddRef();
  HRESULT result = S_OK;
  try {
    Body();
  } catch (const std::bad_alloc&) {
    result = E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    SetErrorText(e.what());
    result = E_UNEXPECTED;
  } catch (...) {
    SetErrorText("Unexpected failure");
    result = E_UNEXPECTED;
  }
  Release();
  return result;
}

template <class T, class F>
HRESULT TKyvPlayerObject::Get(T* Value, F&& Read) noexcept {
  if (Value == nullptr) return E_POINTER;
  return Guard([&] { *Value = Read(); });
}

// IDispatch.

HRESULT TKyvPlayerObject::GetTypeInfoCount(UINT* pctinfo) {
  return FDispatch.GetTypeInfoCount(pctinfo);
}

HRESULT TKyvPlayerObject::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  return FDispatch.GetTypeInfo(iTInfo, ppTInfo);
}

HRESULT TKyvPlayerObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                        DISPID* rgDispId) {
  return FDispatch.GetIDsOfNames(riid, rgszNames, cNames, rgDispId);
}

HRESULT TKyvPlayerObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                 DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                 EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  return FDispatch.Invoke(static_cast<IKyvPlayer*>(this), dispIdMember, riid, wFlags, pDispParams,
                          pVarResult, pExcepInfo, puArgErr);
}

// The form's properties.

HRESULT TKyvPlayerObject::get_Visible(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->Visible()); });
}

HRESULT TKyvPlayerObject::put_Visible(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetVisible(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_AutoScroll(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->AutoScroll()); });
}

HRESULT TKyvPlayerObject::put_AutoScroll(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetAutoScroll(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_AutoSize(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->AutoSize()); });
}

HRESULT TKyvPlayerObject::put_AutoSize(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetAutoSize(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_AxBorderStyle(TxActiveFormBorderStyle* Value) {
  return Get(Value, [&] { return FForm->AxBorderStyle(); });
}

HRESULT TKyvPlayerObject::put_AxBorderStyle(TxActiveFormBorderStyle Value) {
  const int32_t raw = RawValue(Value);
  if (raw < afbNone || raw > afbRaised) return E_INVALIDARG;
  const auto style = static_cast<TxActiveFormBorderStyle>(raw);
  return Guard([&] { FForm->SetAxBorderStyle(style); });
}

HRESULT TKyvPlayerObject::get_Caption(BSTR* Value) {
  return Get(Value, [&] { return NewText(FForm->Caption()); });
}

HRESULT TKyvPlayerObject::put_Caption(BSTR Value) {
  return Guard([&] { FForm->SetCaption(std::u16string(TBstr::View(Value))); });
}

HRESULT TKyvPlayerObject::get_Color(OLE_COLOR* Value) {
  return Get(Value, [&] { return FForm->Color(); });
}

HRESULT TKyvPlayerObject::put_Color(OLE_COLOR Value) {
  return Guard([&] { FForm->SetColor(Value); });
}

HRESULT TKyvPlayerObject::get_Font(IFontDisp** Value) {
  return Get(Value, [&] { return FForm->Font().Detach(); });
}

HRESULT TKyvPlayerObject::put_Font(IFontDisp* Value) {
  return Guard([&] { FForm->SetFont(com::TComPtr<IFontDisp>(Value)); });
}

HRESULT TKyvPlayerObject::get_KeyPreview(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->KeyPreview()); });
}

HRESULT TKyvPlayerObject::put_KeyPreview(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetKeyPreview(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_PixelsPerInch(int32_t* Value) {
  return Get(Value, [&] { return FForm->PixelsPerInch(); });
}

HRESULT TKyvPlayerObject::put_PixelsPerInch(int32_t Value) {
  if (Value <= 0) return E_INVALIDARG;
  return Guard([&] { FForm->SetPixelsPerInch(Value); });
}

HRESULT TKyvPlayerObject::get_PrintScale(TxPrintScale* Value) {
  return Get(Value, [&] { return FForm->PrintScale(); });
}

HRESULT TKyvPlayerObject::put_PrintScale(TxPrintScale Value) {
  const int32_t raw = RawValue(Value);
  if (raw < poNone || raw > poPrintToFit) return E_INVALIDARG;
  const auto scale = static_cast<TxPrintScale>(raw);
  return Guard([&] { FForm->SetPrintScale(scale); });
}

HRESULT TKyvPlayerObject::get_Scaled(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->Scaled()); });
}

HRESULT TKyvPlayerObject::put_Scaled(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetScaled(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_Active(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->Active()); });
}

HRESULT TKyvPlayerObject::get_DropTarget(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->DropTarget()); });
}

HRESULT TKyvPlayerObject::put_DropTarget(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetDropTarget(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_HelpFile(BSTR* Value) {
  return Get(Value, [&] { return NewText(FForm->HelpFile()); });
}

HRESULT TKyvPlayerObject::put_HelpFile(BSTR Value) {
  return Guard([&] { FForm->SetHelpFile(std::u16string(TBstr::View(Value))); });
}

HRESULT TKyvPlayerObject::get_DoubleBuffered(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->DoubleBuffered()); });
}

HRESULT TKyvPlayerObject::put_DoubleBuffered(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetDoubleBuffered(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_VisibleDockClientCount(int32_t* Value) {
  return Get(Value, [&] { return FForm->VisibleDockClientCount(); });
}

HRESULT TKyvPlayerObject::get_Enabled(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FForm->Enabled()); });
}

HRESULT TKyvPlayerObject::put_Enabled(VARIANT_BOOL Value) {
  return Guard([&] { FForm->SetEnabled(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_Cursor(int16_t* Value) {
  return Get(Value, [&] { return FForm->Cursor(); });
}

HRESULT TKyvPlayerObject::put_Cursor(int16_t Value) {
  return Guard([&] { FForm->SetCursor(Value); });
}

// Commands and the player's properties.

HRESULT TKyvPlayerObject::LoadFile(BSTR Filename) {
  return Guard([&] { FControl.LoadFile(Utf8(Filename)); });
}

HRESULT TKyvPlayerObject::SendScript(BSTR Str) {
  return Guard([&] { FControl.SendScript(Utf8(Str)); });
}

HRESULT TKyvPlayerObject::Open(BSTR Filename) {
  return Guard([&] { FControl.Open(Utf8(Filename)); });
}

HRESULT TKyvPlayerObject::get_DisplayMode(::TDisplayMode* Value) {
  return Get(Value, [&] { return static_cast<::TDisplayMode>(FControl.DisplayMode()); });
}

HRESULT TKyvPlayerObject::put_DisplayMode(::TDisplayMode Value) {
  return Guard([&] { FControl.SetDisplayMode(static_cast<TDisplayMode>(Value)); });
}

HRESULT TKyvPlayerObject::Play() {
  return Guard([&] { FControl.Play(); });
}

HRESULT TKyvPlayerObject::Pause() {
  return Guard([&] { FControl.Pause(); });
}

HRESULT TKyvPlayerObject::Stop() {
  return Guard([&] { FControl.Stop(); });
}

HRESULT TKyvPlayerObject::Close() {
  return Guard([&] { FControl.Close(); });
}

HRESULT TKyvPlayerObject::FastForward() {
  return Guard([&] { FControl.FastForward(); });
}

HRESULT TKyvPlayerObject::FastReverse() {
  return Guard([&] { FControl.FastReverse(); });
}

HRESULT TKyvPlayerObject::get_CurrentPosition(int32_t* Milliseconds) {
  return Get(Milliseconds, [&] { return FControl.CurrentPosition(); });
}

HRESULT TKyvPlayerObject::put_CurrentPosition(int32_t Value) {
  return Guard([&] { FControl.SetCurrentPosition(Value); });
}

HRESULT TKyvPlayerObject::get_Duration(int32_t* Value) {
  return Get(Value, [&] { return FControl.Duration(); });
}

HRESULT TKyvPlayerObject::get_LocalIP(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.LocalIP()); });
}

HRESULT TKyvPlayerObject::put_LocalIP(BSTR Value) {
  return Guard([&] { FControl.SetLocalIP(Utf8(Value)); });
}

HRESULT TKyvPlayerObject::get_Max(int32_t* Value) {
  return Get(Value, [&] { return FControl.Max(); });
}

HRESULT TKyvPlayerObject::get_Min(int32_t* Value) {
  return Get(Value, [&] { return FControl.Min(); });
}

HRESULT TKyvPlayerObject::get_FullScreen(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FControl.FullScreen()); });
}

HRESULT TKyvPlayerObject::put_FullScreen(VARIANT_BOOL Value) {
  return Guard([&] { FControl.SetFullScreen(Value != VARIANT_FALSE); });
}

HRESULT TKyvPlayerObject::get_URL(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.Url()); });
}

HRESULT TKyvPlayerObject::put_URL(BSTR Value) {
  return Guard([&] { FControl.SetUrl(Utf8(Value)); });
}

HRESULT TKyvPlayerObject::get_Status(::TStatus* Value) {
  return Get(Value, [&] { return static_cast<::TStatus>(FControl.Status()); });
}

HRESULT TKyvPlayerObject::get_AutoStart(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FControl.AutoStart()); });
}

HRESULT TKyvPlayerObject::put_AutoStart(VARIANT_BOOL Value) {
  FControl.SetAutoStart(Value != VARIANT_FALSE);
  return S_OK;
}

HRESULT TKyvPlayerObject::get_KyvWidth(int32_t* Value) {
  return Get(Value, [&] { return FControl.KyvWidth(); });
}

HRESULT TKyvPlayerObject::get_KyvHeight(int32_t* Value) {
  return Get(Value, [&] { return FControl.KyvHeight(); });
}

HRESULT TKyvPlayerObject::get_InitialColor(int32_t* Value) {
  return Get(Value, [&] { return FControl.InitialColor(); });
}

HRESULT TKyvPlayerObject::put_InitialColor(int32_t Value) {
  FControl.SetInitialColor(Value);
  return S_OK;
}

HRESULT TKyvPlayerObject::get_Host(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.Host()); });
}

HRESULT TKyvPlayerObject::get_ChannelName(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.ChannelName()); });
}

HRESULT TKyvPlayerObject::get_Title(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.Title()); });
}

HRESULT TKyvPlayerObject::get_Author(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.Author()); });
}

HRESULT TKyvPlayerObject::get_Copyright(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.Copyright()); });
}

HRESULT TKyvPlayerObject::get_Description(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.Description()); });
}

HRESULT TKyvPlayerObject::get_AutoConnect(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FControl.AutoConnect()); });
}

HRESULT TKyvPlayerObject::put_AutoConnect(VARIANT_BOOL Value) {
  FControl.SetAutoConnect(Value != VARIANT_FALSE);
  return S_OK;
}

HRESULT TKyvPlayerObject::Request(BSTR Command) {
  return Guard([&] { FControl.Request(Utf8(Command)); });
}

HRESULT TKyvPlayerObject::get_MediaTime(int32_t* Value) {
  return Get(Value, [&] { return FControl.MediaTime(); });
}

HRESULT TKyvPlayerObject::get_EnableCache(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(FControl.EnableCache()); });
}

HRESULT TKyvPlayerObject::put_EnableCache(VARIANT_BOOL Value) {
  FControl.SetEnableCache(Value != VARIANT_FALSE);
  return S_OK;
}

HRESULT TKyvPlayerObject::get_bgColor(BSTR* Value) {
  return Get(Value, [&] { return NewText(FControl.BgColor()); });
}

HRESULT TKyvPlayerObject::put_bgColor(BSTR Value) {
  return Guard([&] { FControl.SetBgColor(Utf8(Value)); });
}

// Connection points and error information.

HRESULT TKyvPlayerObject::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT TKyvPlayerObject::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  if (!IsEqualGUID(riid, FPoint.Source())) return CONNECT_E_NOCONNECTION;
  FPoint.AddRef();
  *ppCP = &FPoint;
  return S_OK;
}

HRESULT TKyvPlayerObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualGUID(riid, IID_IKyvPlayer) || IsEqualGUID(riid, IID_IKyvPlayerHost) ? S_OK
                                                                                    : S_FALSE;
}

// IKyvPlayerHost.

HRESULT TKyvPlayerObject::put_ContainerUrl(BSTR Url) {
  return Guard([&] { FControl.SetContainerUrl(Utf8(Url)); });
}

HRESULT TKyvPlayerObject::get_ContainerUrl(BSTR* Url) {
  return Get(Url, [&] { return NewText(FControl.Core().ContainerUrl()); });
}

HRESULT TKyvPlayerObject::GetLastSourceError(int32_t* Code, BSTR* Text, BSTR* Cause) {
  return Guard([&] {
    const TSourceError& error = FControl.LastSourceError();
    TBstr text = TBstr::FromUtf8(error.Text);
    TBstr cause = TBstr::FromUtf8(error.Cause);
    if (Code != nullptr) *Code = error.Code;
    if (Text != nullptr) *Text = text.Detach();
    if (Cause != nullptr) *Cause = cause.Detach();
  });
}

HRESULT TKyvPlayerObject::GetWidget(void** Widget) {
  if (Widget == nullptr) return E_POINTER;
  *Widget = FForm->Widget();
  return *Widget != nullptr ? S_OK : E_NOTIMPL;
}

}  // namespace kyv
