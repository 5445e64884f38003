#include "control/KyvPlayerTypeLib.h"

namespace kyv {

namespace {

using com::TEnumValue;
using com::TFuncData;
using com::TImplData;
using com::TLibraryData;
using com::TParamData;
using com::TTypeData;
using com::TTypeRef;

// Parameter and result types. Enumerations travel as 32-bit integers, OLE_COLOR as an
// unsigned one, IFontDisp as a dispatch pointer (the last two come from the standard library).
constexpr TTypeRef kBool = com::kTypeBool;
constexpr TTypeRef kLong = com::kTypeLong;
constexpr TTypeRef kShort = com::kTypeShort;
constexpr TTypeRef kText = com::kTypeText;
constexpr TTypeRef kColor{VT_UI4, "OLE_COLOR", com::kImportedOleColor};
constexpr TTypeRef kFont{VT_DISPATCH, "IFontDisp", com::kImportedFontDisp, true};
// A frame record's address: 64 bits wide on this build.
constexpr TTypeRef kAddress = com::kTypeInt64;
constexpr TTypeRef kBorderStyle{VT_I4, "TxActiveFormBorderStyle", kTypeTxActiveFormBorderStyle};
constexpr TTypeRef kPrintScale{VT_I4, "TxPrintScale", kTypeTxPrintScale};
constexpr TTypeRef kStatus{VT_I4, "TStatus", kTypeTStatus};
constexpr TTypeRef kDisplayMode{VT_I4, "TDisplayMode", kTypeTDisplayMode};

using com::kRetval;

constexpr TParamData kGetBool[] = {{"Value", kBool, kRetval}};
constexpr TParamData kPutBool[] = {{nullptr, kBool, PARAMFLAG_FIN}};
constexpr TParamData kGetLong[] = {{"Value", kLong, kRetval}};
constexpr TParamData kPutLong[] = {{nullptr, kLong, PARAMFLAG_FIN}};
constexpr TParamData kGetShort[] = {{"Value", kShort, kRetval}};
constexpr TParamData kPutShort[] = {{nullptr, kShort, PARAMFLAG_FIN}};
constexpr TParamData kGetText[] = {{"Value", kText, kRetval}};
constexpr TParamData kPutText[] = {{nullptr, kText, PARAMFLAG_FIN}};
constexpr TParamData kGetColor[] = {{"Value", kColor, kRetval}};
constexpr TParamData kPutColor[] = {{nullptr, kColor, PARAMFLAG_FIN}};
constexpr TParamData kGetFont[] = {{"Value", kFont, kRetval}};
constexpr TParamData kPutFont[] = {{nullptr, kFont, PARAMFLAG_FIN}};
constexpr TParamData kGetBorderStyle[] = {{"Value", kBorderStyle, kRetval}};
constexpr TParamData kPutBorderStyle[] = {{nullptr, kBorderStyle, PARAMFLAG_FIN}};
constexpr TParamData kGetPrintScale[] = {{"Value", kPrintScale, kRetval}};
constexpr TParamData kPutPrintScale[] = {{nullptr, kPrintScale, PARAMFLAG_FIN}};
constexpr TParamData kGetStatus[] = {{"Value", kStatus, kRetval}};
constexpr TParamData kGetDisplayMode[] = {{"Value", kDisplayMode, kRetval}};
constexpr TParamData kPutDisplayMode[] = {{nullptr, kDisplayMode, PARAMFLAG_FIN}};
constexpr TParamData kGetMilliseconds[] = {{"Milliseconds", kLong, kRetval}};
constexpr TParamData kFilename[] = {{"Filename", kText, PARAMFLAG_FIN}};
constexpr TParamData kStr[] = {{"Str", kText, PARAMFLAG_FIN}};
constexpr TParamData kCommand[] = {{"Command", kText, PARAMFLAG_FIN}};

constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET;
constexpr INVOKEKIND kPut = INVOKE_PROPERTYPUT;
constexpr INVOKEKIND kCall = INVOKE_FUNC;
constexpr uint16_t kHidden = FUNCFLAG_FHIDDEN;

// Slots 7 to 83, in order.
constexpr TFuncData kPlayerFuncs[] = {
    {"Visible", 1, kGet, kHidden, nullptr, kGetBool},
    {"Visible", 1, kPut, kHidden, nullptr, kPutBool},
    {"AutoScroll", 2, kGet, 0, nullptr, kGetBool},
    {"AutoScroll", 2, kPut, 0, nullptr, kPutBool},
    {"AutoSize", 3, kGet, 0, nullptr, kGetBool},
    {"AutoSize", 3, kPut, 0, nullptr, kPutBool},
    {"AxBorderStyle", 4, kGet, 0, nullptr, kGetBorderStyle},
    {"AxBorderStyle", 4, kPut, 0, nullptr, kPutBorderStyle},
    {"Caption", DISPID_CAPTION, kGet, 0, nullptr, kGetText},
    {"Caption", DISPID_CAPTION, kPut, 0, nullptr, kPutText},
    {"Color", DISPID_BACKCOLOR, kGet, 0, nullptr, kGetColor},
    {"Color", DISPID_BACKCOLOR, kPut, 0, nullptr, kPutColor},
    {"Font", DISPID_FONT, kGet, 0, nullptr, kGetFont},
    {"Font", DISPID_FONT, kPut, 0, nullptr, kPutFont},
    {"KeyPreview", 5, kGet, 0, nullptr, kGetBool},
    {"KeyPreview", 5, kPut, 0, nullptr, kPutBool},
    {"PixelsPerInch", 6, kGet, 0, nullptr, kGetLong},
    {"PixelsPerInch", 6, kPut, 0, nullptr, kPutLong},
    {"PrintScale", 7, kGet, 0, nullptr, kGetPrintScale},
    {"PrintScale", 7, kPut, 0, nullptr, kPutPrintScale},
    {"Scaled", 8, kGet, 0, nullptr, kGetBool},
    {"Scaled", 8, kPut, 0, nullptr, kPutBool},
    {"Active", 9, kGet, kHidden, nullptr, kGetBool},
    {"DropTarget", 10, kGet, kHidden, nullptr, kGetBool},
    {"DropTarget", 10, kPut, kHidden, nullptr, kPutBool},
    {"HelpFile", 11, kGet, kHidden, nullptr, kGetText},
    {"HelpFile", 11, kPut, kHidden, nullptr, kPutText},
    {"DoubleBuffered", 12, kGet, kHidden, nullptr, kGetBool},
    {"DoubleBuffered", 12, kPut, kHidden, nullptr, kPutBool},
    {"VisibleDockClientCount", 13, kGet, kHidden, nullptr, kGetLong},
    {"Enabled", DISPID_ENABLED, kGet, kHidden, nullptr, kGetBool},
    {"Enabled", DISPID_ENABLED, kPut, kHidden, nullptr, kPutBool},
    {"Cursor", 14, kGet, 0, nullptr, kGetShort},
    {"Cursor", 14, kPut, 0, nullptr, kPutShort},
    {"LoadFile", 15, kCall, 0, nullptr, kFilename},
    {"SendScript", 16, kCall, 0, nullptr, kStr},
    {"Open", 19, kCall, 0, nullptr, kFilename},
    {"DisplayMode", 18, kGet, 0, nullptr, kGetDisplayMode},
    {"DisplayMode", 18, kPut, 0, nullptr, kPutDisplayMode},
    {"Play", 22, kCall, 0, nullptr, {}},
    {"Pause", 23, kCall, 0, nullptr, {}},
    {"Stop", 24, kCall, 0, nullptr, {}},
    {"Close", 25, kCall, 0, nullptr, {}},
    {"FastForward", 26, kCall, 0, nullptr, {}},
    {"FastReverse", 27, kCall, 0, nullptr, {}},
    {"CurrentPosition", 28, kGet, 0, nullptr, kGetMilliseconds},
    {"CurrentPosition", 28, kPut, 0, nullptr, kPutLong},
    {"Duration", 21, kGet, 0, nullptr, kGetLong},
    {"LocalIP", 29, kGet, 0, nullptr, kGetText},
    {"LocalIP", 29, kPut, 0, nullptr, kPutText},
    {"Max", 201, kGet, 0, nullptr, kGetLong},
    {"Min", 202, kGet, 0, nullptr, kGetLong},
    {"FullScreen", 203, kGet, 0, nullptr, kGetBool},
    {"FullScreen", 203, kPut, 0, nullptr, kPutBool},
    {"URL", 204, kGet, 0, nullptr, kGetText},
    {"URL", 204, kPut, 0, nullptr, kPutText},
    {"Status", 205, kGet, 0, nullptr, kGetStatus},
    {"AutoStart", 206, kGet, 0, nullptr, kGetBool},
    {"AutoStart", 206, kPut, 0, nullptr, kPutBool},
    {"KyvWidth", 207, kGet, 0, nullptr, kGetLong},
    {"KyvHeight", 208, kGet, 0, nullptr, kGetLong},
    {"InitialColor", 209, kGet, 0, nullptr, kGetLong},
    {"InitialColor", 209, kPut, 0, nullptr, kPutLong},
    {"Host", 210, kGet, 0, nullptr, kGetText},
    {"ChannelName", 211, kGet, 0, nullptr, kGetText},
    {"Title", 212, kGet, 0, nullptr, kGetText},
    {"Author", 213, kGet, 0, nullptr, kGetText},
    {"Copyright", 214, kGet, 0, nullptr, kGetText},
    {"Description", 215, kGet, 0, nullptr, kGetText},
    {"AutoConnect", 216, kGet, 0, nullptr, kGetBool},
    {"AutoConnect", 216, kPut, 0, nullptr, kPutBool},
    {"Request", 217, kCall, 0, nullptr, kCommand},
    {"MediaTime", 218, kGet, 0, nullptr, kGetLong},
    {"EnableCache", 219, kGet, 0, nullptr, kGetBool},
    {"EnableCache", 219, kPut, 0, nullptr, kPutBool},
    {"bgColor", 220, kGet, 0, nullptr, kGetText},
    {"bgColor", 220, kPut, 0, nullptr, kPutText},
};
static_assert(std::size(kPlayerFuncs) == 77);

constexpr char kWorkerThread[] = "在工作线程中调用";

constexpr TParamData kKey[] = {{"Key", kShort, PARAMFLAG_FIN | PARAMFLAG_FOUT}};
constexpr TParamData kSeconds[] = {{"Seconds", kLong, PARAMFLAG_FIN}};
constexpr TParamData kNewState[] = {{"NewState", kStatus, PARAMFLAG_FIN}};
constexpr TParamData kNewPosition[] = {{"NewPosition", kLong, PARAMFLAG_FIN}};
constexpr TParamData kNewMode[] = {{"NewMode", kDisplayMode, PARAMFLAG_FIN}};
constexpr TParamData kScript[] = {{"Script", kText, PARAMFLAG_FIN}};
constexpr TParamData kIndex[] = {{"Index", kText, PARAMFLAG_FIN}};
constexpr TParamData kData[] = {{"Data", kAddress, PARAMFLAG_FIN}};
constexpr TParamData kButtonXY[] = {
    {"Button", kLong, PARAMFLAG_FIN}, {"x", kLong, PARAMFLAG_FIN}, {"y", kLong, PARAMFLAG_FIN}};
constexpr TParamData kXY[] = {{"x", kLong, PARAMFLAG_FIN}, {"y", kLong, PARAMFLAG_FIN}};

// In stored order; the first eight have no result.
constexpr TFuncData kEventFuncs[] = {
    {"OnActivate", 1, kCall, 0, nullptr, {}, false},
    {"OnClick", 2, kCall, 0, nullptr, {}, false},
    {"OnCreate", 3, kCall, 0, nullptr, {}, false},
    {"OnDblClick", 5, kCall, 0, nullptr, {}, false},
    {"OnDestroy", 6, kCall, 0, nullptr, {}, false},
    {"OnDeactivate", 7, kCall, 0, nullptr, {}, false},
    {"OnKeyPress", 11, kCall, 0, nullptr, kKey, false},
    {"OnPaint", 16, kCall, 0, nullptr, {}, false},
    {"OnSkip", 4, kCall, 0, nullptr, kSeconds},
    {"OnPlayStateChanged", 201, kCall, 0, nullptr, kNewState},
    {"OnPositionChanged", 202, kCall, 0, nullptr, kNewPosition},
    {"OnDisplayModeChanged", 203, kCall, 0, nullptr, kNewMode},
    {"OnScript", 204, kCall, 0, kWorkerThread, kScript},
    {"OnIndex", 205, kCall, 0, kWorkerThread, kIndex},
    {"OnStreamSample", 206, kCall, 0, kWorkerThread, kData},
    {"OnString", 207, kCall, 0, nullptr, kStr},
    {"OnMouseDown", 208, kCall, 0, nullptr, kButtonXY},
    {"OnMouseMove", 209, kCall, 0, nullptr, kXY},
    {"OnMouseUp", 210, kCall, 0, nullptr, kButtonXY},
};
static_assert(std::size(kEventFuncs) == 19);

constexpr TEnumValue kBorderStyles[] = {{"afbNone", 0, "afbNone"},
                                        {"afbSingle", 1, "afbSingle"},
                                        {"afbSunken", 2, "afbSunken"},
                                        {"afbRaised", 3, "afbRaised"}};
constexpr TEnumValue kPrintScales[] = {{"poNone", 0, "poNone"},
                                       {"poProportional", 1, "poProportional"},
                                       {"poPrintToFit", 2, "poPrintToFit"}};
constexpr TEnumValue kStatuses[] = {
    {"vpClosed", 0, nullptr},      {"vpOpened", 1, nullptr},  {"vpPlaying", 2, nullptr},
    {"vpPaused", 3, nullptr},      {"vpStopped", 4, nullptr}, {"vpScanForward", 5, nullptr},
    {"vpScanReverse", 6, nullptr}, {"vpOpening", 7, nullptr}, {"vpSeeking", 8, nullptr}};
constexpr TEnumValue kDisplayModes[] = {
    {"dmAdaptive", 0, nullptr}, {"dmFull", 1, nullptr}, {"dmOriginal", 2, nullptr}};

constexpr TImplData kCtrlImplements[] = {
    {kTypeIKyvPlayer, IMPLTYPEFLAG_FDEFAULT},
    {kTypeIKyvPlayerEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};

constexpr TTypeData kTypes[] = {
    {"IKyvPlayer",
     kIidIKyvPlayer,
     TKIND_INTERFACE,
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
     "Dispatch interface for KyvPlayer Control",
     "IDispatch",
     kPlayerFuncs,
     {},
     {}},
    {"IKyvPlayerEvents",
     kIidIKyvPlayerEvents,
     TKIND_DISPATCH,
     TYPEFLAG_FDISPATCHABLE,
     "Events interface for KyvPlayer Control",
     nullptr,
     kEventFuncs,
     {},
     {}},
    {"TxActiveFormBorderStyle",
     kGuidTxActiveFormBorderStyle,
     TKIND_ENUM,
     0,
     nullptr,
     nullptr,
     {},
     kBorderStyles,
     {}},
    {"TxPrintScale", kGuidTxPrintScale, TKIND_ENUM, 0, nullptr, nullptr, {}, kPrintScales, {}},
    {"TStatus",
     kGuidTStatus,
     TKIND_ENUM,
     0,
     "Kavrindel KyvPlayer Status",
     nullptr,
     {},
     kStatuses,
     {}},
    {"TDisplayMode",
     kGuidTDisplayMode,
     TKIND_ENUM,
     0,
     "Kyv Content Display Mode",
     nullptr,
     {},
     kDisplayModes,
     {}},
    {"KyvPlayerCtrl",
     kClsidKyvPlayerCtrl,
     TKIND_COCLASS,
     TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL,
     "Kavrindel KyvPlayer Control",
     nullptr,
     {},
     {},
     kCtrlImplements},
};

constexpr TLibraryData kLibrary{"KyvPlayerTLB",
                                kLibidKyvPlayerTLB,
                                1,
                                0,
                                0x0409,
                                LIBFLAG_FCONTROL,
                                "Kavrindel KyvPlayer ActiveX Control",
                                kTypes};

}  // namespace

const com::TLibraryData& KyvPlayerTypeLibrary() noexcept {
  return kLibrary;
}

}  // namespace kyv
