#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/IdlWriter.h"
#include "control/HeaderWriter.h"
#include "control/KyvPlayerTypeLib.h"
#include "platform/ScopedEnv.h"
#include "support/TempFolder.h"

extern "C" int KyvPlayerSlotCount(void);
extern "C" int KyvPlayerDispid(int which);

namespace kyv {
namespace {

using com::TBstr;
using com::TComPtr;

// The members of IKyvPlayer in slot order from 7: name, number, kind (g get, p put, m method),
// hidden.
struct TSlot {
  const char* Name;
  DISPID Id;
  char Kind;
  bool Hidden;
};
constexpr TSlot kSlots[] = {
    {"Visible", 1, 'g', true},
    {"Visible", 1, 'p', true},
    {"AutoScroll", 2, 'g', false},
    {"AutoScroll", 2, 'p', false},
    {"AutoSize", 3, 'g', false},
    {"AutoSize", 3, 'p', false},
    {"AxBorderStyle", 4, 'g', false},
    {"AxBorderStyle", 4, 'p', false},
    {"Caption", -518, 'g', false},
    {"Caption", -518, 'p', false},
    {"Color", -501, 'g', false},
    {"Color", -501, 'p', false},
    {"Font", -512, 'g', false},
    {"Font", -512, 'p', false},
    {"KeyPreview", 5, 'g', false},
    {"KeyPreview", 5, 'p', false},
    {"PixelsPerInch", 6, 'g', false},
    {"PixelsPerInch", 6, 'p', false},
    {"PrintScale", 7, 'g', false},
    {"PrintScale", 7, 'p', false},
    {"Scaled", 8, 'g', false},
    {"Scaled", 8, 'p', false},
    {"Active", 9, 'g', true},
    {"DropTarget", 10, 'g', true},
    {"DropTarget", 10, 'p', true},
    {"HelpFile", 11, 'g', true},
    {"HelpFile", 11, 'p', true},
    {"DoubleBuffered", 12, 'g', true},
    {"DoubleBuffered", 12, 'p', true},
    {"VisibleDockClientCount", 13, 'g', true},
    {"Enabled", -514, 'g', true},
    {"Enabled", -514, 'p', true},
    {"Cursor", 14, 'g', false},
    {"Cursor", 14, 'p', false},
    {"LoadFile", 15, 'm', false},
    {"SendScript", 16, 'm', false},
    {"Open", 19, 'm', false},
    {"DisplayMode", 18, 'g', false},
    {"DisplayMode", 18, 'p', false},
    {"Play", 22, 'm', false},
    {"Pause", 23, 'm', false},
    {"Stop", 24, 'm', false},
    {"Close", 25, 'm', false},
    {"FastForward", 26, 'm', false},
    {"FastReverse", 27, 'm', false},
    {"CurrentPosition", 28, 'g', false},
    {"CurrentPosition", 28, 'p', false},
    {"Duration", 21, 'g', false},
    {"LocalIP", 29, 'g', false},
    {"LocalIP", 29, 'p', false},
    {"Max", 201, 'g', false},
    {"Min", 202, 'g', false},
    {"FullScreen", 203, 'g', false},
    {"FullScreen", 203, 'p', false},
    {"URL", 204, 'g', false},
    {"URL", 204, 'p', false},
    {"Status", 205, 'g', false},
    {"AutoStart", 206, 'g', false},
    {"AutoStart", 206, 'p', false},
    {"KyvWidth", 207, 'g', false},
    {"KyvHeight", 208, 'g', false},
    {"InitialColor", 209, 'g', false},
    {"InitialColor", 209, 'p', false},
    {"Host", 210, 'g', false},
    {"ChannelName", 211, 'g', false},
    {"Title", 212, 'g', false},
    {"Author", 213, 'g', false},
    {"Copyright", 214, 'g', false},
    {"Description", 215, 'g', false},
    {"AutoConnect", 216, 'g', false},
    {"AutoConnect", 216, 'p', false},
    {"Request", 217, 'm', false},
    {"MediaTime", 218, 'g', false},
    {"EnableCache", 219, 'g', false},
    {"EnableCache", 219, 'p', false},
    {"bgColor", 220, 'g', false},
    {"bgColor", 220, 'p', false},
};

// The events in stored order: name, number, argument kinds, whether it returns HRESULT.
struct TEventRow {
  const char* Name;
  DISPID Id;
  std::vector<VARTYPE> Args;
  bool Result;
};
const TEventRow kEvents[] = {
    {"OnActivate", 1, {}, false},
    {"OnClick", 2, {}, false},
    {"OnCreate", 3, {}, false},
    {"OnDblClick", 5, {}, false},
    {"OnDestroy", 6, {}, false},
    {"OnDeactivate", 7, {}, false},
    {"OnKeyPress", 11, {VT_PTR}, false},
    {"OnPaint", 16, {}, false},
    {"OnSkip", 4, {VT_I4}, true},
    {"OnPlayStateChanged", 201, {VT_USERDEFINED}, true},
    {"OnPositionChanged", 202, {VT_I4}, true},
    {"OnDisplayModeChanged", 203, {VT_USERDEFINED}, true},
    {"OnScript", 204, {VT_BSTR}, true},
    {"OnIndex", 205, {VT_BSTR}, true},
    {"OnStreamSample", 206, {VT_I8}, true},
    {"OnString", 207, {VT_BSTR}, true},
    {"OnMouseDown", 208, {VT_I4, VT_I4, VT_I4}, true},
    {"OnMouseMove", 209, {VT_I4, VT_I4}, true},
    {"OnMouseUp", 210, {VT_I4, VT_I4, VT_I4}, true},
};

TComPtr<ITypeLib> LoadControlTypeLib() {
  TComPtr<ITypeLib> library;
  const TBstr path = TBstr::FromUtf8(KYVPLAYER_LIBRARY);
  EXPECT_EQ(LoadTypeLib(path.Get(), library.Receive()), S_OK);
  return library;
}

std::string NameOf(ITypeInfo& Info, MEMBERID Id) {
  TBstr name;
  Info.GetDocumentation(Id, name.Receive(), nullptr, nullptr, nullptr);
  return name.Utf8();
}

TEST(TypeLibrary, HoldsSevenTypesInTheirOrder) {
  TComPtr<ITypeLib> library = LoadControlTypeLib();
  ASSERT_TRUE(library);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, kLibidKyvPlayerTLB));
  EXPECT_EQ(attr->lcid, 0x0409u);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->wLibFlags, LIBFLAG_FCONTROL);
  library->ReleaseTLibAttr(attr);
  TBstr name, help;
  ASSERT_EQ(library->GetDocumentation(-1, name.Receive(), help.Receive(), nullptr, nullptr), S_OK);
  EXPECT_EQ(name.Utf8(), "KyvPlayerTLB");
  EXPECT_EQ(help.Utf8(), "Kavrindel KyvPlayer ActiveX Control");

  const std::vector<std::pair<std::string, TYPEKIND>> expected = {
      {"IKyvPlayer", TKIND_INTERFACE},
      {"IKyvPlayerEvents", TKIND_DISPATCH},
      {"TxActiveFormBorderStyle", TKIND_ENUM},
      {"TxPrintScale", TKIND_ENUM},
      {"TStatus", TKIND_ENUM},
      {"TDisplayMode", TKIND_ENUM},
      {"KyvPlayerCtrl", TKIND_COCLASS}};
  ASSERT_EQ(library->GetTypeInfoCount(), expected.size());
  for (UINT i = 0; i < expected.size(); ++i) {
    TComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfo(i, info.Receive()), S_OK);
    EXPECT_EQ(NameOf(*info, MEMBERID_NIL), expected[i].first);
    TYPEKIND kind{};
    ASSERT_EQ(library->GetTypeInfoType(i, &kind), S_OK);
    EXPECT_EQ(kind, expected[i].second);
  }
}

TEST(TypeLibrary, IKyvPlayerHas84SlotsInOrderWithTheirNumbers) {
  TComPtr<ITypeLib> library = LoadControlTypeLib();
  ASSERT_TRUE(library);
  TComPtr<ITypeInfo> info;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kIidIKyvPlayer, info.Receive()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cbSizeVft, 84 * sizeof(void*));
  EXPECT_EQ(attr->cFuncs, 77);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  info->ReleaseTypeAttr(attr);
  EXPECT_EQ(KyvPlayerSlotCount(), 84);
  for (UINT i = 0; i < std::size(kSlots); ++i) {
    const TSlot& slot = kSlots[i];
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
    EXPECT_EQ(desc->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << slot.Name;
    EXPECT_EQ(desc->memid, slot.Id) << slot.Name;
    EXPECT_EQ(NameOf(*info, desc->memid), slot.Name);
    const INVOKEKIND kind = slot.Kind == 'g'   ? INVOKE_PROPERTYGET
                            : slot.Kind == 'p' ? INVOKE_PROPERTYPUT
                                               : INVOKE_FUNC;
    EXPECT_EQ(desc->invkind, kind) << slot.Name;
    EXPECT_EQ((desc->wFuncFlags & FUNCFLAG_FHIDDEN) != 0, slot.Hidden) << slot.Name;
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_HRESULT);
    // A getter has one [out, retval] parameter, a setter one input.
    if (slot.Kind != 'm') {
      ASSERT_EQ(desc->cParams, 1) << slot.Name;
      const USHORT flags = desc->lprgelemdescParam[0].u.paramdesc.wParamFlags;
      EXPECT_EQ(flags, slot.Kind == 'g' ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN);
    }
    info->ReleaseFuncDesc(desc);
  }
  EXPECT_EQ(KyvPlayerDispid(0), -518);
  EXPECT_EQ(KyvPlayerDispid(1), -501);
  EXPECT_EQ(KyvPlayerDispid(2), -512);
  EXPECT_EQ(KyvPlayerDispid(3), -514);
  // The getter of CurrentPosition names its value Milliseconds.
  BSTR names[2] = {};
  UINT count = 0;
  ASSERT_EQ(info->GetNames(28, names, 2, &count), S_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(TBstr::Adopt(names[0]).Utf8() + "/" + TBstr::Adopt(names[1]).Utf8(),
            "CurrentPosition/Milliseconds");
}

TEST(TypeLibrary, EventsAre19InOrderWithTheirArguments) {
  TComPtr<ITypeLib> library = LoadControlTypeLib();
  ASSERT_TRUE(library);
  TComPtr<ITypeInfo> info;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kIidIKyvPlayerEvents, info.Receive()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 19);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDISPATCHABLE);
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < std::size(kEvents); ++i) {
    const TEventRow& row = kEvents[i];
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
    EXPECT_EQ(desc->memid, row.Id) << row.Name;
    EXPECT_EQ(desc->funckind, FUNC_DISPATCH);
    EXPECT_EQ(NameOf(*info, row.Id), row.Name);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, row.Result ? VT_HRESULT : VT_VOID) << row.Name;
    ASSERT_EQ(desc->cParams, static_cast<SHORT>(row.Args.size())) << row.Name;
    for (size_t p = 0; p < row.Args.size(); ++p)
      EXPECT_EQ(desc->lprgelemdescParam[p].tdesc.vt, row.Args[p]) << row.Name;
    if (row.Id == 11) {  // OnKeyPress: a short, in and out
      EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.u.lptdesc->vt, VT_I2);
      EXPECT_EQ(desc->lprgelemdescParam[0].u.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
    }
    info->ReleaseFuncDesc(desc);
    TBstr help;
    info->GetDocumentation(row.Id, nullptr, help.Receive(), nullptr, nullptr);
    const bool worker = row.Id == 204 || row.Id == 205 || row.Id == 206;
    EXPECT_EQ(help.Utf8(), worker ? "在工作线程中调用" : "") << row.Name;
  }
}

TEST(TypeLibrary, EnumerationsHoldTheirValues) {
  TComPtr<ITypeLib> library = LoadControlTypeLib();
  ASSERT_TRUE(library);
  const std::vector<std::pair<GUID, std::string>> expected = {
      {kGuidTxActiveFormBorderStyle, "afbNone=0 afbSingle=1 afbSunken=2 afbRaised=3 "},
      {kGuidTxPrintScale, "poNone=0 poProportional=1 poPrintToFit=2 "},
      {kGuidTStatus,
       "vpClosed=0 vpOpened=1 vpPlaying=2 vpPaused=3 vpStopped=4 vpScanForward=5 "
       "vpScanReverse=6 vpOpening=7 vpSeeking=8 "},
      {kGuidTDisplayMode, "dmAdaptive=0 dmFull=1 dmOriginal=2 "}};
  for (const auto& [guid, values] : expected) {
    TComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(guid, info.Receive()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    const WORD count = attr->cVars;
    info->ReleaseTypeAttr(attr);
    std::string seen;
    for (UINT i = 0; i < count; ++i) {
      VARDESC* desc = nullptr;
      ASSERT_EQ(info->GetVarDesc(i, &desc), S_OK);
      seen += NameOf(*info, desc->memid) + "=" + std::to_string(desc->u.lpvarValue->u.lVal) + " ";
      info->ReleaseVarDesc(desc);
    }
    EXPECT_EQ(seen, values);
  }
}

TEST(TypeLibrary, PublicHeaderIsWrittenFromTheData) {
  std::ifstream file(std::string(KYV_SOURCE_DIR) + "/include/kyv/kyvplayer.h", std::ios::binary);
  ASSERT_TRUE(file);
  const std::string stored(std::istreambuf_iterator<char>(file), {});
  EXPECT_EQ(stored, WriteKyvPlayerHeader(KyvPlayerTypeLibrary()))
      << "run: kyvtool typelib --header > include/kyv/kyvplayer.h";
}

TEST(TypeLibrary, PrintsAsIdl) {
  TComPtr<ITypeLib> library = LoadControlTypeLib();
  ASSERT_TRUE(library);
  std::ostringstream idl;
  ASSERT_EQ(com::WriteIdl(*library, idl), S_OK);
  const std::string text = idl.str();
  for (const char* line :
       {"uuid(02D79F7B-61B5-4280-940D-ABD50274905C),\n", "library KyvPlayerTLB\n",
        "interface IKyvPlayer : IDispatch {",
        "[id(1), propget, hidden] HRESULT Visible([out, retval] VARIANT_BOOL* Value);",
        "[id(-512), propput] HRESULT Font([in] IFontDisp* Value);",
        "[id(-501), propget] HRESULT Color([out, retval] OLE_COLOR* Value);",
        "[id(28), propget] HRESULT CurrentPosition([out, retval] long* Milliseconds);",
        "[id(220), propput] HRESULT bgColor([in] BSTR Value);", "dispinterface IKyvPlayerEvents {",
        "[id(11)] void OnKeyPress([in, out] short* Key);",
        "[id(201)] HRESULT OnPlayStateChanged([in] TStatus NewState);",
        "[id(206), helpstring(\"在工作线程中调用\")] HRESULT OnStreamSample([in] int64 Data);",
        "[helpstring(\"poPrintToFit\")] poPrintToFit = 2", "coclass KyvPlayerCtrl {",
        "[default, source] dispinterface IKyvPlayerEvents;"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  size_t members = 0;
  for (size_t at = text.find("[id("); at != std::string::npos; at = text.find("[id(", at + 1))
    ++members;
  EXPECT_EQ(members, 77u + 19u);
}

// Every key (folder) and value (key, name, text) below Root.
std::set<std::tuple<std::string, std::string, std::string>> ReadTree(
    const std::filesystem::path& Root) {
  std::set<std::tuple<std::string, std::string, std::string>> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Root)) {
    std::string relative = std::filesystem::relative(entry.path(), Root).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    if (entry.is_directory()) {
      tree.emplace(relative, "", "<key>");
      continue;
    }
    const size_t slash = relative.rfind('\\');
    const std::string key = relative.substr(0, slash);
    const std::string file = relative.substr(slash + 1);
    std::ifstream in(entry.path(), std::ios::binary);
    tree.emplace(key, file.substr(1), std::string(std::istreambuf_iterator<char>(in), {}));
  }
  return tree;
}

TEST(Registration, WritesExactlyTheControlsKeysAndRemovesThemAll) {
  test::TTempFolder folder("kyv_registration");
  TScopedEnv root("KYV_REGISTRY", folder.Path().c_str());
  void* handle = ::dlopen(KYVPLAYER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  const auto reg = reinterpret_cast<LPFNREGISTERSERVER>(::dlsym(handle, "DllRegisterServer"));
  const auto unreg = reinterpret_cast<LPFNREGISTERSERVER>(::dlsym(handle, "DllUnregisterServer"));
  const auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(::dlsym(handle, "DllCanUnloadNow"));
  ASSERT_TRUE(reg && unreg && canUnload);
  EXPECT_EQ(canUnload(), S_OK);
  ASSERT_EQ(reg(), S_OK);
  ASSERT_EQ(reg(), S_OK);  // registering again changes nothing

  const std::string path = std::filesystem::canonical(KYVPLAYER_LIBRARY).string();
  const std::string g = "{7FCC3835-8594-4DF7-8A2A-410BFED6808D}";
  const std::string l = "{02D79F7B-61B5-4280-940D-ABD50274905C}";
  const std::string c = "CLSID\\" + g;
  const std::string p = "KyvPlayerTLB.KyvPlayerCtrl";
  const std::string t = "TypeLib\\" + l;
  const std::string d = "Kavrindel KyvPlayer Control";
  std::set<std::tuple<std::string, std::string, std::string>> expected = {
      {"CLSID", "", "<key>"},
      {c, "", "<key>"},
      {c, "", d},
      {c + "\\InprocServer32", "", "<key>"},
      {c + "\\InprocServer32", "", path},
      {c + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {c + "\\ProgID", "", "<key>"},
      {c + "\\ProgID", "", p},
      {p, "", "<key>"},
      {p, "", d},
      {p + "\\Clsid", "", "<key>"},
      {p + "\\Clsid", "", g},
      {c + "\\TypeLib", "", "<key>"},
      {c + "\\TypeLib", "", l},
      {c + "\\Version", "", "<key>"},
      {c + "\\Version", "", "1.0"},
      {c + "\\MiscStatus", "", "<key>"},
      {c + "\\MiscStatus", "", "0"},
      {c + "\\MiscStatus\\1", "", "<key>"},
      {c + "\\MiscStatus\\1", "", "205201"},
      {c + "\\ToolboxBitmap32", "", "<key>"},
      {c + "\\ToolboxBitmap32", "", path + ",1"},
      {c + "\\Control", "", "<key>"},
      {c + "\\Verb", "", "<key>"},
      {c + "\\Verb\\0", "", "<key>"},
      {c + "\\Verb\\0", "", "Properties,0,2"},
      {"TypeLib", "", "<key>"},
      {t, "", "<key>"},
      {t + "\\1.0", "", "<key>"},
      {t + "\\1.0", "", "Kavrindel KyvPlayer ActiveX Control"},
      {t + "\\1.0\\0", "", "<key>"},
      {t + "\\1.0\\0\\linux64", "", "<key>"},
      {t + "\\1.0\\0\\linux64", "", path},
      {t + "\\1.0\\FLAGS", "", "<key>"},
      {t + "\\1.0\\FLAGS", "", "2"},
      {t + "\\1.0\\HELPDIR", "", "<key>"},
      {t + "\\1.0\\HELPDIR", "", std::filesystem::path(path).parent_path().string()},
      {"Interface", "", "<key>"},
  };
  for (const auto& [iid, name, proxy] :
       {std::tuple{"{86875F1B-9089-4F5F-877E-C6479186E6A3}", "IKyvPlayer",
                   "{00020424-0000-0000-C000-000000000046}"},
        std::tuple{"{BE091C1B-3C14-4F5F-AD10-84A02671F1F5}", "IKyvPlayerEvents",
                   "{00020420-0000-0000-C000-000000000046}"}}) {
    const std::string i = std::string("Interface\\") + iid;
    for (const std::string& key :
         {i, i + "\\ProxyStubClsid", i + "\\ProxyStubClsid32", i + "\\TypeLib"})
      expected.emplace(key, "", "<key>");
    expected.emplace(i, "", name);
    expected.emplace(i + "\\ProxyStubClsid", "", proxy);
    expected.emplace(i + "\\ProxyStubClsid32", "", proxy);
    expected.emplace(i + "\\TypeLib", "", l);
    expected.emplace(i + "\\TypeLib", "Version", "1.0");
  }
  EXPECT_EQ(ReadTree(folder.Path()), expected);

  // Another class registered beside it survives the unregistration.
  ASSERT_EQ(KyvRegSetValue("CLSID\\{other}", "", "x"), S_OK);
  ASSERT_EQ(unreg(), S_OK);
  EXPECT_EQ(
      ReadTree(folder.Path()),
      (std::set<std::tuple<std::string, std::string, std::string>>{
          {"CLSID", "", "<key>"}, {"CLSID\\{other}", "", "<key>"}, {"CLSID\\{other}", "", "x"}}));
  ASSERT_EQ(KyvRegDeleteKey("CLSID\\{other}"), S_OK);
  ASSERT_EQ(unreg(), S_OK);  // unregistering what is not there is no failure
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
}  // namespace kyv
