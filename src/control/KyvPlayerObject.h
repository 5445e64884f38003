#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "com/ConnectionPoint.h"
#include "com/TypedDispatch.h"
#include "control/ControlForm.h"
#include "control/KyvPlayerEvents.h"
#include "control/PlayerControl.h"
#include "kyv/kyvplayer.h"
#include "kyv/kyvplayerhost.h"

namespace kyv::com {
template <>
struct TInterfaceTraits<IKyvPlayer> {
  using Base = IDispatch;
  static const IID& Iid() noexcept { return IID_IKyvPlayer; }
};
template <>
struct TInterfaceTraits<IKyvPlayerHost> {
  using Base = IUnknown;
  static const IID& Iid() noexcept { return IID_IKyvPlayerHost; }
};
}  // namespace kyv::com

namespace kyv {

// The control as a component: IKyvPlayer by slot and, through the generic dispatcher driven by
// the type library data, by name; the events of IKyvPlayerEvents on its connection point;
// error information; and IKyvPlayerHost for desktop hosts. The behaviour is TPlayerControl's;
// this class only converts arguments and failures. Every member catches what fails inside and
// returns E_UNEXPECTED (E_OUTOFMEMORY when memory ran out) with the failure's text as the
// thread's error description.
//
// The form properties (slots 7 to 40) are read and written on the control's form (IControlForm);
// setting them changes nothing else.
//
// While it lives, the object's control is pumped by CoPumpMessages on the thread that made it
// (the form's event loop, or without one the window's messages and the timers), so a host
// without an event loop runs it that way.
//
// Threads: made, called and released on one thread (the host's), which also receives the
// events. References may be counted on any thread, but the last one must be dropped there.
class TKyvPlayerObject final : public com::TComObject<IKyvPlayer, IConnectionPointContainer,
                                                      ISupportErrorInfo, IKyvPlayerHost> {
 public:
  // CacheFolder as for TPlayerControl ("" is the per-user cache folder). FormFactory makes the
  // toolkit's form; without one the form's properties are kept values (TKeptControlForm).
  explicit TKyvPlayerObject(std::string CacheFolder = {},
                            const TControlFormFactory& FormFactory = {});
  ~TKyvPlayerObject() override;

  TPlayerControl& Control() noexcept { return FControl; }
  IControlForm& Form() noexcept { return *FForm; }
  // The thread's pump for this control: the form's event loop when it has one, else the
  // control's messages and timers, for up to Timeout (what is due now when zero).
  void PumpFor(std::chrono::milliseconds Timeout);
  // Whether anything is under way that more pumping would move on: an open that has not
  // failed, playing, or a reconnection waiting.
  bool Busy() const noexcept;

  // IDispatch.
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // IKyvPlayer, in slot order.
  HRESULT get_Visible(VARIANT_BOOL* Value) override;
  HRESULT put_Visible(VARIANT_BOOL Value) override;
  HRESULT get_AutoScroll(VARIANT_BOOL* Value) override;
  HRESULT put_AutoScroll(VARIANT_BOOL Value) override;
  HRESULT get_AutoSize(VARIANT_BOOL* Value) override;
  HRESULT put_AutoSize(VARIANT_BOOL Value) override;
  HRESULT get_AxBorderStyle(TxActiveFormBorderStyle* Value) override;
  HRESULT put_AxBorderStyle(TxActiveFormBorderStyle Value) override;
  HRESULT get_Caption(BSTR* Value) override;
  HRESULT put_Caption(BSTR Value) override;
  HRESULT get_Color(OLE_COLOR* Value) override;
  HRESULT put_Color(OLE_COLOR Value) override;
  HRESULT get_Font(IFontDisp** Value) override;
  HRESULT put_Font(IFontDisp* Value) override;
  HRESULT get_KeyPreview(VARIANT_BOOL* Value) override;
  HRESULT put_KeyPreview(VARIANT_BOOL Value) override;
  HRESULT get_PixelsPerInch(int32_t* Value) override;
  HRESULT put_PixelsPerInch(int32_t Value) override;
  HRESULT get_PrintScale(TxPrintScale* Value) override;
  HRESULT put_PrintScale(TxPrintScale Value) override;
  HRESULT get_Scaled(VARIANT_BOOL* Value) override;
  HRESULT put_Scaled(VARIANT_BOOL Value) override;
  HRESULT get_Active(VARIANT_BOOL* Value) override;
  HRESULT get_DropTarget(VARIANT_BOOL* Value) override;
  HRESULT put_DropTarget(VARIANT_BOOL Value) override;
  HRESULT get_HelpFile(BSTR* Value) override;
  HRESULT put_HelpFile(BSTR Value) override;
  HRESULT get_DoubleBuffered(VARIANT_BOOL* Value) override;
  HRESULT put_DoubleBuffered(VARIANT_BOOL Value) override;
  HRESULT get_VisibleDockClientCount(int32_t* Value) override;
  HRESULT get_Enabled(VARIANT_BOOL* Value) override;
  HRESULT put_Enabled(VARIANT_BOOL Value) override;
  HRESULT get_Cursor(int16_t* Value) override;
  HRESULT put_Cursor(int16_t Value) override;
  HRESULT LoadFile(BSTR Filename) override;
  HRESULT SendScript(BSTR Str) override;
  HRESULT Open(BSTR Filename) override;
  HRESULT get_DisplayMode(::TDisplayMode* Value) override;
  HRESULT put_DisplayMode(::TDisplayMode Value) override;
  HRESULT Play() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT Close() override;
  HRESULT FastForward() override;
  HRESULT FastReverse() override;
  HRESULT get_CurrentPosition(int32_t* Milliseconds) override;
  HRESULT put_CurrentPosition(int32_t Value) override;
  HRESULT get_Duration(int32_t* Value) override;
  HRESULT get_LocalIP(BSTR* Value) override;
  HRESULT put_LocalIP(BSTR Value) override;
  HRESULT get_Max(int32_t* Value) override;
  HRESULT get_Min(int32_t* Value) override;
  HRESULT get_FullScreen(VARIANT_BOOL* Value) override;
  HRESULT put_FullScreen(VARIANT_BOOL Value) override;
  HRESULT get_URL(BSTR* Value) override;
  HRESULT put_URL(BSTR Value) override;
  HRESULT get_Status(::TStatus* Value) override;
  HRESULT get_AutoStart(VARIANT_BOOL* Value) override;
  HRESULT put_AutoStart(VARIANT_BOOL Value) override;
  HRESULT get_KyvWidth(int32_t* Value) override;
  HRESULT get_KyvHeight(int32_t* Value) override;
  HRESULT get_InitialColor(int32_t* Value) override;
  HRESULT put_InitialColor(int32_t Value) override;
  HRESULT get_Host(BSTR* Value) override;
  HRESULT get_ChannelName(BSTR* Value) override;
  HRESULT get_Title(BSTR* Value) override;
  HRESULT get_Author(BSTR* Value) override;
  HRESULT get_Copyright(BSTR* Value) override;
  HRESULT get_Description(BSTR* Value) override;
  HRESULT get_AutoConnect(VARIANT_BOOL* Value) override;
  HRESULT put_AutoConnect(VARIANT_BOOL Value) override;
  HRESULT Request(BSTR Command) override;
  HRESULT get_MediaTime(int32_t* Value) override;
  HRESULT get_EnableCache(VARIANT_BOOL* Value) override;
  HRESULT put_EnableCache(VARIANT_BOOL Value) override;
  HRESULT get_bgColor(BSTR* Value) override;
  HRESULT put_bgColor(BSTR Value) override;

  // IConnectionPointContainer: the one point, IKyvPlayerEvents.
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  // ISupportErrorInfo: IKyvPlayer and IKyvPlayerHost leave error information.
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;

  // IKyvPlayerHost.
  HRESULT put_ContainerUrl(BSTR Url) override;
  HRESULT get_ContainerUrl(BSTR* Url) override;
  HRESULT GetLastSourceError(int32_t* Code, BSTR* Text, BSTR* Cause) override;
  HRESULT GetWidget(void** Widget) override;

 private:
  // The control's events to the host's sinks. It also notes whether the open under way has
  // failed: the control then waits for the host, and pumping has nothing more to wait for.
  class TEventsAdapter final : public IPlayerEvents {
   public:
    explicit TEventsAdapter(const TKyvPlayerEvents& Raiser) noexcept : FRaiser(Raiser) {}
    void OnPlayStateChanged(TStatus NewState) override {
      if (NewState == vpOpening) OpenFailed = false;
      FRaiser.OnPlayStateChanged(NewState);
    }
    void OnDisplayModeChanged(TDisplayMode NewMode) override {
      FRaiser.OnDisplayModeChanged(NewMode);
    }
    void OnSourceError(const TSourceError&) override { OpenFailed = true; }

    bool OpenFailed = false;

   private:
    const TKyvPlayerEvents& FRaiser;
  };

  // Runs Body, turning what it throws into an HRESULT and the thread's error description. The
  // object holds a reference of its own meanwhile: an event handler may drop the host's last.
  template <class F>
  HRESULT Guard(F&& Body) noexcept;
  // A getter: E_POINTER for a null Value, else *Value = Read() under Guard.
  template <class T, class F>
  HRESULT Get(T* Value, F&& Read) noexcept;

  const com::TTypedDispatch FDispatch;
  com::TConnectionPoint FPoint;
  const TKyvPlayerEvents FRaiser{FPoint};
  TEventsAdapter FAdapter{FRaiser};
  // It goes first, while the point and the adapter it reports to still exist.
  TPlayerControl FControl;
  // Last: it unhooks itself from the control before the control goes.
  std::unique_ptr<IControlForm> FForm;
};

}  // namespace kyv
