/* The KyvPlayer control's Automation contract, for hosts in C and C++. Written from the
   control's type library data (a test keeps the two equal): do not edit by hand.
   Create the control with CoCreateInstance(&CLSID_KyvPlayerCtrl, ...) or by the program
   identifier KYVPLAYER_PROGID, call IKyvPlayer by slot or through IDispatch, and connect
   to DIID_IKyvPlayerEvents through IConnectionPointContainer. */
/* clang-format off */
#ifndef KYV_KYVPLAYER_H
#define KYV_KYVPLAYER_H

#include "kyvcom.h"

KYV_EXTERN_C_BEGIN

KYV_DEFINE_GUID(LIBID_KyvPlayerTLB, 0x02D79F7B, 0x61B5, 0x4280, 0x94, 0x0D, 0xAB, 0xD5, 0x02, 0x74, 0x90, 0x5C);
KYV_DEFINE_GUID(IID_IKyvPlayer, 0x86875F1B, 0x9089, 0x4F5F, 0x87, 0x7E, 0xC6, 0x47, 0x91, 0x86, 0xE6, 0xA3);
KYV_DEFINE_GUID(DIID_IKyvPlayerEvents, 0xBE091C1B, 0x3C14, 0x4F5F, 0xAD, 0x10, 0x84, 0xA0, 0x26, 0x71, 0xF1, 0xF5);
KYV_DEFINE_GUID(CLSID_KyvPlayerCtrl, 0x7FCC3835, 0x8594, 0x4DF7, 0x8A, 0x2A, 0x41, 0x0B, 0xFE, 0xD6, 0x80, 0x8D);
#define KYVPLAYER_PROGID "KyvPlayerTLB.KyvPlayerCtrl"

/* Types of the standard OLE library. */
typedef uint32_t OLE_COLOR;
typedef struct IDispatch IFontDisp;

typedef enum TxActiveFormBorderStyle {
  afbNone = 0,
  afbSingle = 1,
  afbSunken = 2,
  afbRaised = 3
} TxActiveFormBorderStyle;
KYV_STATIC_ASSERT(sizeof(TxActiveFormBorderStyle) == 4, "TxActiveFormBorderStyle is 32 bits");

typedef enum TxPrintScale {
  poNone = 0,
  poProportional = 1,
  poPrintToFit = 2
} TxPrintScale;
KYV_STATIC_ASSERT(sizeof(TxPrintScale) == 4, "TxPrintScale is 32 bits");

typedef enum TStatus {
  vpClosed = 0,
  vpOpened = 1,
  vpPlaying = 2,
  vpPaused = 3,
  vpStopped = 4,
  vpScanForward = 5,
  vpScanReverse = 6,
  vpOpening = 7,
  vpSeeking = 8
} TStatus;
KYV_STATIC_ASSERT(sizeof(TStatus) == 4, "TStatus is 32 bits");

typedef enum TDisplayMode {
  dmAdaptive = 0,
  dmFull = 1,
  dmOriginal = 2
} TDisplayMode;
KYV_STATIC_ASSERT(sizeof(TDisplayMode) == 4, "TDisplayMode is 32 bits");

#define DISPID_KYVPLAYER_VISIBLE ((DISPID)1)
#define DISPID_KYVPLAYER_AUTOSCROLL ((DISPID)2)
#define DISPID_KYVPLAYER_AUTOSIZE ((DISPID)3)
#define DISPID_KYVPLAYER_AXBORDERSTYLE ((DISPID)4)
#define DISPID_KYVPLAYER_CAPTION ((DISPID)-518)
#define DISPID_KYVPLAYER_COLOR ((DISPID)-501)
#define DISPID_KYVPLAYER_FONT ((DISPID)-512)
#define DISPID_KYVPLAYER_KEYPREVIEW ((DISPID)5)
#define DISPID_KYVPLAYER_PIXELSPERINCH ((DISPID)6)
#define DISPID_KYVPLAYER_PRINTSCALE ((DISPID)7)
#define DISPID_KYVPLAYER_SCALED ((DISPID)8)
#define DISPID_KYVPLAYER_ACTIVE ((DISPID)9)
#define DISPID_KYVPLAYER_DROPTARGET ((DISPID)10)
#define DISPID_KYVPLAYER_HELPFILE ((DISPID)11)
#define DISPID_KYVPLAYER_DOUBLEBUFFERED ((DISPID)12)
#define DISPID_KYVPLAYER_VISIBLEDOCKCLIENTCOUNT ((DISPID)13)
#define DISPID_KYVPLAYER_ENABLED ((DISPID)-514)
#define DISPID_KYVPLAYER_CURSOR ((DISPID)14)
#define DISPID_KYVPLAYER_LOADFILE ((DISPID)15)
#define DISPID_KYVPLAYER_SENDSCRIPT ((DISPID)16)
#define DISPID_KYVPLAYER_OPEN ((DISPID)19)
#define DISPID_KYVPLAYER_DISPLAYMODE ((DISPID)18)
#define DISPID_KYVPLAYER_PLAY ((DISPID)22)
#define DISPID_KYVPLAYER_PAUSE ((DISPID)23)
#define DISPID_KYVPLAYER_STOP ((DISPID)24)
#define DISPID_KYVPLAYER_CLOSE ((DISPID)25)
#define DISPID_KYVPLAYER_FASTFORWARD ((DISPID)26)
#define DISPID_KYVPLAYER_FASTREVERSE ((DISPID)27)
#define DISPID_KYVPLAYER_CURRENTPOSITION ((DISPID)28)
#define DISPID_KYVPLAYER_DURATION ((DISPID)21)
#define DISPID_KYVPLAYER_LOCALIP ((DISPID)29)
#define DISPID_KYVPLAYER_MAX ((DISPID)201)
#define DISPID_KYVPLAYER_MIN ((DISPID)202)
#define DISPID_KYVPLAYER_FULLSCREEN ((DISPID)203)
#define DISPID_KYVPLAYER_URL ((DISPID)204)
#define DISPID_KYVPLAYER_STATUS ((DISPID)205)
#define DISPID_KYVPLAYER_AUTOSTART ((DISPID)206)
#define DISPID_KYVPLAYER_KYVWIDTH ((DISPID)207)
#define DISPID_KYVPLAYER_KYVHEIGHT ((DISPID)208)
#define DISPID_KYVPLAYER_INITIALCOLOR ((DISPID)209)
#define DISPID_KYVPLAYER_HOST ((DISPID)210)
#define DISPID_KYVPLAYER_CHANNELNAME ((DISPID)211)
#define DISPID_KYVPLAYER_TITLE ((DISPID)212)
#define DISPID_KYVPLAYER_AUTHOR ((DISPID)213)
#define DISPID_KYVPLAYER_COPYRIGHT ((DISPID)214)
#define DISPID_KYVPLAYER_DESCRIPTION ((DISPID)215)
#define DISPID_KYVPLAYER_AUTOCONNECT ((DISPID)216)
#define DISPID_KYVPLAYER_REQUEST ((DISPID)217)
#define DISPID_KYVPLAYER_MEDIATIME ((DISPID)218)
#define DISPID_KYVPLAYER_ENABLECACHE ((DISPID)219)
#define DISPID_KYVPLAYER_BGCOLOR ((DISPID)220)

#define DISPID_KYVPLAYEREVENTS_ONACTIVATE ((DISPID)1)
#define DISPID_KYVPLAYEREVENTS_ONCLICK ((DISPID)2)
#define DISPID_KYVPLAYEREVENTS_ONCREATE ((DISPID)3)
#define DISPID_KYVPLAYEREVENTS_ONDBLCLICK ((DISPID)5)
#define DISPID_KYVPLAYEREVENTS_ONDESTROY ((DISPID)6)
#define DISPID_KYVPLAYEREVENTS_ONDEACTIVATE ((DISPID)7)
#define DISPID_KYVPLAYEREVENTS_ONKEYPRESS ((DISPID)11)
#define DISPID_KYVPLAYEREVENTS_ONPAINT ((DISPID)16)
#define DISPID_KYVPLAYEREVENTS_ONSKIP ((DISPID)4)
#define DISPID_KYVPLAYEREVENTS_ONPLAYSTATECHANGED ((DISPID)201)
#define DISPID_KYVPLAYEREVENTS_ONPOSITIONCHANGED ((DISPID)202)
#define DISPID_KYVPLAYEREVENTS_ONDISPLAYMODECHANGED ((DISPID)203)
#define DISPID_KYVPLAYEREVENTS_ONSCRIPT ((DISPID)204)
#define DISPID_KYVPLAYEREVENTS_ONINDEX ((DISPID)205)
#define DISPID_KYVPLAYEREVENTS_ONSTREAMSAMPLE ((DISPID)206)
#define DISPID_KYVPLAYEREVENTS_ONSTRING ((DISPID)207)
#define DISPID_KYVPLAYEREVENTS_ONMOUSEDOWN ((DISPID)208)
#define DISPID_KYVPLAYEREVENTS_ONMOUSEMOVE ((DISPID)209)
#define DISPID_KYVPLAYEREVENTS_ONMOUSEUP ((DISPID)210)

#ifdef __cplusplus
}  // extern "C": the class below is C++ only

struct IKyvPlayer : IDispatch {
 public:
  virtual HRESULT get_Visible(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_Visible(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_AutoScroll(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_AutoScroll(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_AutoSize(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_AutoSize(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_AxBorderStyle(TxActiveFormBorderStyle* Value) = 0;
  virtual HRESULT put_AxBorderStyle(TxActiveFormBorderStyle Value) = 0;
  virtual HRESULT get_Caption(BSTR* Value) = 0;
  virtual HRESULT put_Caption(BSTR Value) = 0;
  virtual HRESULT get_Color(OLE_COLOR* Value) = 0;
  virtual HRESULT put_Color(OLE_COLOR Value) = 0;
  virtual HRESULT get_Font(IFontDisp** Value) = 0;
  virtual HRESULT put_Font(IFontDisp* Value) = 0;
  virtual HRESULT get_KeyPreview(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_KeyPreview(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_PixelsPerInch(int32_t* Value) = 0;
  virtual HRESULT put_PixelsPerInch(int32_t Value) = 0;
  virtual HRESULT get_PrintScale(TxPrintScale* Value) = 0;
  virtual HRESULT put_PrintScale(TxPrintScale Value) = 0;
  virtual HRESULT get_Scaled(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_Scaled(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_Active(VARIANT_BOOL* Value) = 0;
  virtual HRESULT get_DropTarget(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_DropTarget(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_HelpFile(BSTR* Value) = 0;
  virtual HRESULT put_HelpFile(BSTR Value) = 0;
  virtual HRESULT get_DoubleBuffered(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_DoubleBuffered(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_VisibleDockClientCount(int32_t* Value) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_Cursor(int16_t* Value) = 0;
  virtual HRESULT put_Cursor(int16_t Value) = 0;
  virtual HRESULT LoadFile(BSTR Filename) = 0;
  virtual HRESULT SendScript(BSTR Str) = 0;
  virtual HRESULT Open(BSTR Filename) = 0;
  virtual HRESULT get_DisplayMode(TDisplayMode* Value) = 0;
  virtual HRESULT put_DisplayMode(TDisplayMode Value) = 0;
  virtual HRESULT Play() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT FastForward() = 0;
  virtual HRESULT FastReverse() = 0;
  virtual HRESULT get_CurrentPosition(int32_t* Milliseconds) = 0;
  virtual HRESULT put_CurrentPosition(int32_t Value) = 0;
  virtual HRESULT get_Duration(int32_t* Value) = 0;
  virtual HRESULT get_LocalIP(BSTR* Value) = 0;
  virtual HRESULT put_LocalIP(BSTR Value) = 0;
  virtual HRESULT get_Max(int32_t* Value) = 0;
  virtual HRESULT get_Min(int32_t* Value) = 0;
  virtual HRESULT get_FullScreen(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_FullScreen(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_URL(BSTR* Value) = 0;
  virtual HRESULT put_URL(BSTR Value) = 0;
  virtual HRESULT get_Status(TStatus* Value) = 0;
  virtual HRESULT get_AutoStart(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_AutoStart(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_KyvWidth(int32_t* Value) = 0;
  virtual HRESULT get_KyvHeight(int32_t* Value) = 0;
  virtual HRESULT get_InitialColor(int32_t* Value) = 0;
  virtual HRESULT put_InitialColor(int32_t Value) = 0;
  virtual HRESULT get_Host(BSTR* Value) = 0;
  virtual HRESULT get_ChannelName(BSTR* Value) = 0;
  virtual HRESULT get_Title(BSTR* Value) = 0;
  virtual HRESULT get_Author(BSTR* Value) = 0;
  virtual HRESULT get_Copyright(BSTR* Value) = 0;
  virtual HRESULT get_Description(BSTR* Value) = 0;
  virtual HRESULT get_AutoConnect(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_AutoConnect(VARIANT_BOOL Value) = 0;
  virtual HRESULT Request(BSTR Command) = 0;
  virtual HRESULT get_MediaTime(int32_t* Value) = 0;
  virtual HRESULT get_EnableCache(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_EnableCache(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_bgColor(BSTR* Value) = 0;
  virtual HRESULT put_bgColor(BSTR Value) = 0;

 protected:
  ~IKyvPlayer() = default;
};

extern "C" {
#else

struct IKyvPlayer;
typedef struct IKyvPlayerVtbl {
  KYV_IDISPATCH_MEMBERS(struct IKyvPlayer);
  HRESULT (*get_Visible)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_Visible)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_AutoScroll)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_AutoScroll)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_AutoSize)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_AutoSize)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_AxBorderStyle)(struct IKyvPlayer* This, TxActiveFormBorderStyle* Value);
  HRESULT (*put_AxBorderStyle)(struct IKyvPlayer* This, TxActiveFormBorderStyle Value);
  HRESULT (*get_Caption)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*put_Caption)(struct IKyvPlayer* This, BSTR Value);
  HRESULT (*get_Color)(struct IKyvPlayer* This, OLE_COLOR* Value);
  HRESULT (*put_Color)(struct IKyvPlayer* This, OLE_COLOR Value);
  HRESULT (*get_Font)(struct IKyvPlayer* This, IFontDisp** Value);
  HRESULT (*put_Font)(struct IKyvPlayer* This, IFontDisp* Value);
  HRESULT (*get_KeyPreview)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_KeyPreview)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_PixelsPerInch)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*put_PixelsPerInch)(struct IKyvPlayer* This, int32_t Value);
  HRESULT (*get_PrintScale)(struct IKyvPlayer* This, TxPrintScale* Value);
  HRESULT (*put_PrintScale)(struct IKyvPlayer* This, TxPrintScale Value);
  HRESULT (*get_Scaled)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_Scaled)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_Active)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*get_DropTarget)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_DropTarget)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_HelpFile)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*put_HelpFile)(struct IKyvPlayer* This, BSTR Value);
  HRESULT (*get_DoubleBuffered)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_DoubleBuffered)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_VisibleDockClientCount)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_Enabled)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_Enabled)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_Cursor)(struct IKyvPlayer* This, int16_t* Value);
  HRESULT (*put_Cursor)(struct IKyvPlayer* This, int16_t Value);
  HRESULT (*LoadFile)(struct IKyvPlayer* This, BSTR Filename);
  HRESULT (*SendScript)(struct IKyvPlayer* This, BSTR Str);
  HRESULT (*Open)(struct IKyvPlayer* This, BSTR Filename);
  HRESULT (*get_DisplayMode)(struct IKyvPlayer* This, TDisplayMode* Value);
  HRESULT (*put_DisplayMode)(struct IKyvPlayer* This, TDisplayMode Value);
  HRESULT (*Play)(struct IKyvPlayer* This);
  HRESULT (*Pause)(struct IKyvPlayer* This);
  HRESULT (*Stop)(struct IKyvPlayer* This);
  HRESULT (*Close)(struct IKyvPlayer* This);
  HRESULT (*FastForward)(struct IKyvPlayer* This);
  HRESULT (*FastReverse)(struct IKyvPlayer* This);
  HRESULT (*get_CurrentPosition)(struct IKyvPlayer* This, int32_t* Milliseconds);
  HRESULT (*put_CurrentPosition)(struct IKyvPlayer* This, int32_t Value);
  HRESULT (*get_Duration)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_LocalIP)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*put_LocalIP)(struct IKyvPlayer* This, BSTR Value);
  HRESULT (*get_Max)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_Min)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_FullScreen)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_FullScreen)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_URL)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*put_URL)(struct IKyvPlayer* This, BSTR Value);
  HRESULT (*get_Status)(struct IKyvPlayer* This, TStatus* Value);
  HRESULT (*get_AutoStart)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_AutoStart)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_KyvWidth)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_KyvHeight)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_InitialColor)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*put_InitialColor)(struct IKyvPlayer* This, int32_t Value);
  HRESULT (*get_Host)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*get_ChannelName)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*get_Title)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*get_Author)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*get_Copyright)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*get_Description)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*get_AutoConnect)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_AutoConnect)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*Request)(struct IKyvPlayer* This, BSTR Command);
  HRESULT (*get_MediaTime)(struct IKyvPlayer* This, int32_t* Value);
  HRESULT (*get_EnableCache)(struct IKyvPlayer* This, VARIANT_BOOL* Value);
  HRESULT (*put_EnableCache)(struct IKyvPlayer* This, VARIANT_BOOL Value);
  HRESULT (*get_bgColor)(struct IKyvPlayer* This, BSTR* Value);
  HRESULT (*put_bgColor)(struct IKyvPlayer* This, BSTR Value);
} IKyvPlayerVtbl;
typedef struct IKyvPlayer {
  const IKyvPlayerVtbl* lpVtbl;
} IKyvPlayer;

KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, get_Visible) == 7 * sizeof(void*), "first own slot");
KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, put_bgColor) == 83 * sizeof(void*), "last slot");

#endif /* __cplusplus */

KYV_EXTERN_C_END

#endif /* KYV_KYVPLAYER_H */
