#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "ScopedEnv.h"
#include "SinkBase.h"
#include "StationChild.h"
#include "TempFolder.h"
#include "XvfbDisplay.h"
#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/Variant.h"
#include "control/KyvPlayerObject.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using com::MakeCom;
using com::TBstr;
using com::TComPtr;
using com::TVariant;

// The recording every test opens: small, and without thumbnails.
class TSample {
 public:
  TSample() {
    TSampleOptions options;
    options.Width = 160;
    options.Height = 120;
    options.Seconds = 4;
    options.NailInterval = 0;
    fs::create_directories(FRoot.Path() / "rec");
    Summary = WriteSampleRecording(Path(), options);
  }
  fs::path Path() const { return FRoot.Path() / "rec/sample.kyv"; }

  TSampleSummary Summary;

 private:
  test::TTempFolder FRoot{"kyv_object"};
};

const TSample& Sample() {
  static const TSample sample;
  return sample;
}

using test::TSinkBase;

// An event sink that records the play states it hears and may run an action on each.
class TStateSink final : public TSinkBase {
 public:
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    if (Member != DISPID_KYVPLAYEREVENTS_ONPLAYSTATECHANGED || Params->cArgs != 1) return S_OK;
    States.push_back(Params->rgvarg[0].u.lVal);
    if (OnState) OnState(Params->rgvarg[0].u.lVal);
    return S_OK;
  }

  std::vector<int32_t> States;
  std::function<void(int32_t)> OnState;
};

// An event sink for the live station's events, which arrive on the stream's thread.
class TLiveSink final : public TSinkBase {
 public:
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    if (Params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    const VARIANT& arg = Params->rgvarg[0];
    std::lock_guard lock(FLock);
    if (Member == DISPID_KYVPLAYEREVENTS_ONSTREAMSAMPLE && arg.vt == VT_I8 && arg.u.llVal != 0)
      ++FSamples;
    else if (arg.vt == VT_BSTR && (Member == DISPID_KYVPLAYEREVENTS_ONSCRIPT ||
                                   Member == DISPID_KYVPLAYEREVENTS_ONINDEX ||
                                   Member == DISPID_KYVPLAYEREVENTS_ONSTRING))
      FTexts.push_back(std::to_string(Member) + ":" + TBstr(TBstr::View(arg.u.bstrVal)).Utf8());
    return S_OK;
  }
  int Samples() const {
    std::lock_guard lock(FLock);
    return FSamples;
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(FLock);
    return FTexts;
  }

 private:
  mutable std::mutex FLock;
  int FSamples = 0;                 // guarded by FLock
  std::vector<std::string> FTexts;  // guarded by FLock
};

DWORD Connect(IKyvPlayer& Player, IDispatch& Sink) {
  TComPtr<IConnectionPointContainer> container =
      TComPtr<IKyvPlayer>(&Player).As<IConnectionPointContainer>();
  TComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(DIID_IKyvPlayerEvents, point.Receive()), S_OK);
  DWORD cookie = 0;
  EXPECT_EQ(point->Advise(&Sink, &cookie), S_OK);
  return cookie;
}

struct TOutcome {
  HRESULT Result;
  TVariant Value;
  UINT ArgError = 0xFFFF;
  std::string Description;
};

// A late-bound call by name: a getter or method without arguments, or a put of Value.
TOutcome CallByName(IDispatch& Object, const std::u16string& Name, WORD Flags,
                    TVariant Value = {}) {
  LPOLESTR names[1] = {const_cast<char16_t*>(Name.c_str())};
  DISPID id = DISPID_UNKNOWN;
  TOutcome outcome{
      Object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), {}, 0xFFFF, {}};
  if (FAILED(outcome.Result)) return outcome;
  DISPID put = DISPID_PROPERTYPUT;
  const bool putting = Flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{putting ? &Value : nullptr, putting ? &put : nullptr, putting ? 1u : 0u,
                    putting ? 1u : 0u};
  EXCEPINFO exception{};
  outcome.Result = Object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &params,
                                 putting ? nullptr : &outcome.Value, &exception, &outcome.ArgError);
  outcome.Description = TBstr::Adopt(exception.bstrDescription).Utf8();
  SysFreeString(exception.bstrSource);
  return outcome;
}

std::string AsText(const TVariant& Value) {
  TVariant text;
  if (FAILED(VariantChangeType(&text, &Value, 0, VT_BSTR)))
    return "(" + std::to_string(Value.vt) + ")";
  return TBstr(TBstr::View(text.u.bstrVal)).Utf8();
}

class KyvPlayerObject : public ::testing::Test {
 protected:
  test::TTempFolder FCache{"kyv_object_cache"};
  TComPtr<TKyvPlayerObject> Object = MakeCom<TKyvPlayerObject>(FCache.Path().string());
  IDispatch& Dispatch() { return *static_cast<IKyvPlayer*>(Object.Get()); }
};

// Every getter of the type library answers by name on a fresh control, through the slot the
// type data names, with the control's starting values.
TEST_F(KyvPlayerObject, EveryPropertyReadsByNameWithItsStartingValue) {
  const std::vector<std::pair<std::u16string, std::string>> expected = {
      {u"Visible", "True"},
      {u"AutoScroll", "False"},
      {u"AxBorderStyle", "0"},
      {u"Caption", "Kavrindel KyvPlayer"},
      {u"Color", "2147483663"},
      {u"KeyPreview", "True"},
      {u"PixelsPerInch", "96"},
      {u"PrintScale", "1"},
      {u"Scaled", "True"},
      {u"Active", "False"},
      {u"HelpFile", ""},
      {u"Enabled", "True"},
      {u"Cursor", "0"},
      {u"DisplayMode", "0"},
      {u"CurrentPosition", "0"},
      {u"Duration", "0"},
      {u"LocalIP", ""},
      {u"Max", "0"},
      {u"Min", "0"},
      {u"FullScreen", "False"},
      {u"URL", ""},
      {u"Status", "0"},
      {u"AutoStart", "True"},
      {u"KyvWidth", "0"},
      {u"InitialColor", "16711680"},
      {u"Host", ""},
      {u"Description", ""},
      {u"AutoConnect", "True"},
      {u"MediaTime", "0"},
      {u"EnableCache", "True"},
      {u"bgColor", "#000000"},
      {u"VisibleDockClientCount", "0"},
  };
  for (const auto& [name, value] : expected) {
    SCOPED_TRACE(TBstr(name).Utf8());
    const TOutcome outcome = CallByName(Dispatch(), name, DISPATCH_PROPERTYGET);
    ASSERT_EQ(outcome.Result, S_OK);
    EXPECT_EQ(AsText(outcome.Value), value);
  }
}

TEST_F(KyvPlayerObject, PropertiesPutByNameReadBackBySlot) {
  EXPECT_EQ(
      CallByName(Dispatch(), u"autostart", DISPATCH_PROPERTYPUT, TVariant::Bool(false)).Result,
      S_OK);
  VARIANT_BOOL flag = VARIANT_TRUE;
  EXPECT_EQ(Object->get_AutoStart(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);

  // A number given as text is converted to the parameter's kind.
  EXPECT_EQ(
      CallByName(Dispatch(), u"InitialColor", DISPATCH_PROPERTYPUT, TVariant::Utf8("255")).Result,
      S_OK);
  int32_t color = 0;
  EXPECT_EQ(Object->get_InitialColor(&color), S_OK);
  EXPECT_EQ(color, 255);

  EXPECT_EQ(
      CallByName(Dispatch(), u"bgColor", DISPATCH_PROPERTYPUT, TVariant::Utf8("#102030")).Result,
      S_OK);
  TBstr text;
  EXPECT_EQ(Object->get_bgColor(text.Receive()), S_OK);
  EXPECT_EQ(text.Utf8(), "#102030");

  EXPECT_EQ(Object->put_Caption(TBstr::FromUtf8("Lecture").Get()), S_OK);
  EXPECT_EQ(AsText(CallByName(Dispatch(), u"Caption", DISPATCH_PROPERTYGET).Value), "Lecture");
}

TEST_F(KyvPlayerObject, AHiddenMemberIsListedAsHiddenYetAnswersByName) {
  TComPtr<ITypeInfo> info;
  ASSERT_EQ(Dispatch().GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Receive()), S_OK);
  FUNCDESC* first = nullptr;
  ASSERT_EQ(info->GetFuncDesc(0, &first), S_OK);
  EXPECT_EQ(first->memid, DISPID_KYVPLAYER_VISIBLE);
  EXPECT_NE(first->wFuncFlags & FUNCFLAG_FHIDDEN, 0);
  EXPECT_EQ(first->oVft, 7 * static_cast<SHORT>(sizeof(void*)));
  info->ReleaseFuncDesc(first);

  EXPECT_EQ(CallByName(Dispatch(), u"Visible", DISPATCH_PROPERTYPUT, TVariant::Bool(false)).Result,
            S_OK);
  VARIANT_BOOL visible = VARIANT_TRUE;
  EXPECT_EQ(Object->get_Visible(&visible), S_OK);
  EXPECT_EQ(visible, VARIANT_FALSE);
  EXPECT_EQ(AsText(CallByName(Dispatch(), u"DoubleBuffered", DISPATCH_PROPERTYGET).Value), "False");
}

TEST_F(KyvPlayerObject, AnArgumentOfTheWrongKindIsATypeMismatch) {
  TOutcome outcome =
      CallByName(Dispatch(), u"CurrentPosition", DISPATCH_PROPERTYPUT, TVariant::Utf8("soon"));
  EXPECT_EQ(outcome.Result, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(outcome.ArgError, 0u);

  // An object where a text belongs.
  TVariant object;
  object.vt = VT_DISPATCH;
  object.u.pdispVal = &Dispatch();
  Dispatch().AddRef();
  outcome = CallByName(Dispatch(), u"URL", DISPATCH_PROPERTYPUT, std::move(object));
  EXPECT_EQ(outcome.Result, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Object->Control().Status(), vpClosed);
}

TEST_F(KyvPlayerObject, AFailingMemberLeavesItsTextBySlotAndByName) {
  EXPECT_EQ(Object->put_bgColor(TBstr::FromUtf8("FF8000").Get()), E_UNEXPECTED);
  TComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Receive()), S_OK);
  TBstr description;
  EXPECT_EQ(info->GetDescription(description.Receive()), S_OK);
  EXPECT_EQ(description.Utf8(), "Unknown color format");

  const TOutcome outcome =
      CallByName(Dispatch(), u"bgColor", DISPATCH_PROPERTYPUT, TVariant::Utf8("#12"));
  EXPECT_EQ(outcome.Result, DISP_E_EXCEPTION);
  EXPECT_EQ(outcome.Description, "Unknown color format");
  EXPECT_EQ(AsText(CallByName(Dispatch(), u"bgColor", DISPATCH_PROPERTYGET).Value), "#000000");

  EXPECT_EQ(Object->get_Status(nullptr), E_POINTER);
  EXPECT_EQ(Object->put_AxBorderStyle(static_cast<TxActiveFormBorderStyle>(9)), E_INVALIDARG);
}

// A host may drop its last reference from inside an event; the member that raised it finishes
// on a live object (a stop from paused raises two events).
TEST_F(KyvPlayerObject, ASinkMayReleaseTheControlFromInsideAnEvent) {
  auto sink = MakeCom<TStateSink>();
  Connect(*Object, *sink);
  ASSERT_EQ(Object->Open(TBstr::FromUtf8(Sample().Path().string()).Get()), S_OK);
  for (int i = 0; i < 400 && Object->Control().Status() != vpPlaying; ++i) CoPumpMessages(50);
  ASSERT_EQ(Object->Pause(), S_OK);
  IKyvPlayer* player = Object.Detach();
  sink->States.clear();
  sink->OnState = [&](int32_t State) {
    if (State == vpPlaying && player != nullptr) std::exchange(player, nullptr)->Release();
  };
  IKyvPlayer* calling = player;
  EXPECT_EQ(calling->Stop(), S_OK);
  EXPECT_EQ(player, nullptr);
  EXPECT_EQ(sink->States, (std::vector<int32_t>{vpPlaying, vpStopped}));
}

// CoPumpMessages runs every control of the thread, and stops once the last one is gone.
TEST_F(KyvPlayerObject, TheThreadsPumpRunsEveryControlUntilTheLastGoes) {
  test::TTempFolder otherCache{"kyv_object_cache"};
  TComPtr<TKyvPlayerObject> other = MakeCom<TKyvPlayerObject>(otherCache.Path().string());
  auto sink = MakeCom<TStateSink>();
  auto otherSink = MakeCom<TStateSink>();
  Connect(*Object, *sink);
  Connect(*other, *otherSink);
  const TBstr sample = TBstr::FromUtf8(Sample().Path().string());
  ASSERT_EQ(Object->Open(sample.Get()), S_OK);
  ASSERT_EQ(other->Open(sample.Get()), S_OK);
  const std::vector<int32_t> playing{vpOpening, vpOpened, vpPlaying};
  for (int i = 0; i < 400 && (sink->States != playing || otherSink->States != playing); ++i)
    EXPECT_EQ(CoPumpMessages(50), S_OK);
  EXPECT_EQ(sink->States, playing);
  EXPECT_EQ(otherSink->States, playing);

  int32_t width = 0;
  EXPECT_EQ(other->get_KyvWidth(&width), S_OK);
  EXPECT_EQ(width, 160);
  other.Reset();
  EXPECT_EQ(CoPumpMessages(0), S_OK);
  Object.Reset();
  EXPECT_EQ(CoPumpMessages(0), S_FALSE);
}

// The live station's texts and frame records reach the host's sink from the stream's thread.
TEST_F(KyvPlayerObject, ALiveStationsEventsReachTheSinks) {
  test::TTempFolder folder{"kyv_object_station"};
  test::TStationChild station(folder, {"--index-text", "chapter 1", "--script-text", "go()",
                                       "--string-text", "hello", Sample().Path().string()});
  ASSERT_TRUE(station.Ready()) << station.Output();
  auto sink = MakeCom<TLiveSink>();
  auto states = MakeCom<TStateSink>();
  Connect(*Object, *sink);
  Connect(*Object, *states);
  const std::string address = "kyvs://127.0.0.1:" + std::to_string(station.Port()) + "/demo";
  ASSERT_EQ(Object->Open(TBstr::FromUtf8(address).Get()), S_OK);
  for (int i = 0; i < 400 && (sink->Texts().size() < 3 || sink->Samples() == 0); ++i)
    CoPumpMessages(50);
  EXPECT_EQ(sink->Texts(), (std::vector<std::string>{"205:chapter 1", "204:go()", "207:hello"}))
      << station.Output();
  EXPECT_GT(sink->Samples(), 0);
  EXPECT_EQ(states->States.front(), vpOpening);
  EXPECT_EQ(Object->Close(), S_OK);
}

// Pumping without a time limit ends when nothing more can come: here, an open that failed and
// waits for the host.
TEST_F(KyvPlayerObject, PumpingWithoutALimitEndsWhenNothingMoreCanCome) {
  const fs::path missing = Sample().Path().parent_path() / "missing.kyv";
  ASSERT_EQ(Object->Open(TBstr::FromUtf8(missing.string()).Get()), S_OK);
  EXPECT_EQ(CoPumpMessages(-1), S_OK);
  EXPECT_NE(Object->Control().LastSourceError().Code, 0);
  EXPECT_EQ(Object->Control().Status(), vpOpening);
}

// A host in plain C scripts the control through the public headers alone.
TEST(ControlHost, APlainCHostCreatesScriptsAndPumpsTheControl) {
  const TSample& sample = Sample();
  test::TTempFolder folder{"kyv_control_host"};
  const fs::path output = folder.Path() / "host.txt";
  test::TChildProcess host(
      {CONTROL_HOST_PATH, KYVPLAYER_LIBRARY, folder.Path().string(), sample.Path().string(), "160",
       "120", std::to_string(sample.Summary.Duration)},
      output);
  ASSERT_TRUE(host.Started());
  const int status = host.SignalAndWait(0, std::chrono::seconds(60));
  EXPECT_EQ(status, 0) << test::ReadTextFile(output);
}

// With an X display the C host's control gets its application on that display, and works the
// same.
TEST(ControlHost, APlainCHostOnARealDisplay) {
  const TSample& sample = Sample();
  test::TTempFolder folder{"kyv_control_host_x"};
  const test::TXvfbDisplay server(800, 600);
  if (!server.Started()) GTEST_SKIP() << server.Reason();
  const TScopedEnv screen("DISPLAY", server.Name().c_str());
  const TScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  const fs::path output = folder.Path() / "host.txt";
  test::TChildProcess host(
      {CONTROL_HOST_PATH, KYVPLAYER_LIBRARY, folder.Path().string(), sample.Path().string(), "160",
       "120", std::to_string(sample.Summary.Duration)},
      output);
  ASSERT_TRUE(host.Started());
  EXPECT_EQ(host.SignalAndWait(0, 60s), 0) << test::ReadTextFile(output);
}

}  // namespace
}  // namespace kyv
