#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "control/KyvPlayerEvents.h"
#include "control/KyvPlayerTypeLib.h"

namespace kyv {
namespace {

using com::TComPtr;

// Holds the control's event connection point, as the control will.
class TEventSource : public com::TComObject<IConnectionPointContainer> {
 public:
  TEventSource() : Point(*this, kIidIKyvPlayerEvents) {}
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }
  com::TConnectionPoint Point;
};

// Notes each event's number and its arguments' kinds; changes a key to 'Z'.
class TRecordingSink : public com::TComObject<IDispatch> {
 public:
  struct TSeen {
    DISPID Member;
    std::vector<VARTYPE> Kinds;
    std::vector<int64_t> Numbers;
    std::string Text;
  };
  HRESULT GetTypeInfoCount(UINT* Count) override {
    *Count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    EXPECT_EQ(Flags, DISPATCH_METHOD);
    TSeen seen{Member, {}, {}, {}};
    for (UINT i = Params->cArgs; i-- > 0;) {  // in the order the event declares them
      const VARIANT& arg = Params->rgvarg[i];
      seen.Kinds.push_back(arg.vt);
      if (arg.vt == VT_I4) seen.Numbers.push_back(arg.u.lVal);
      if (arg.vt == VT_I8) seen.Numbers.push_back(arg.u.llVal);
      if (arg.vt == VT_BSTR) seen.Text = com::TBstr(com::TBstr::View(arg.u.bstrVal)).Utf8();
      if (arg.vt == (VT_BYREF | VT_I2)) {
        seen.Numbers.push_back(*arg.u.piVal);
        *arg.u.piVal = 'Z';
      }
    }
    Events.push_back(seen);
    return S_OK;
  }
  std::vector<TSeen> Events;
};

TEST(KyvPlayerEvents, EachEventCarriesTheKindsOfTheTypeLibrary) {
  TComPtr<TEventSource> source = com::MakeCom<TEventSource>();
  const TKyvPlayerEvents events(source->Point);
  int16_t key = 'a';
  // A host with no sink: nothing is raised and nothing fails.
  events.OnPlayStateChanged(2);
  events.OnKeyPress(key);
  EXPECT_EQ(key, 'a');

  TComPtr<TRecordingSink> sink = com::MakeCom<TRecordingSink>();
  DWORD cookie = 0;
  ASSERT_EQ(source->Point.Advise(sink.Get(), &cookie), S_OK);
  const uint8_t record[28] = {};
  events.OnActivate();
  events.OnClick();
  events.OnCreate();
  events.OnDblClick();
  events.OnDestroy();
  events.OnDeactivate();
  events.OnKeyPress(key);
  events.OnPaint();
  events.OnSkip(42);
  events.OnPlayStateChanged(7);
  events.OnDisplayModeChanged(2);
  events.OnScript("s");
  events.OnIndex("i");
  events.OnStreamSample(record);
  events.OnString("在工作线程中调用");
  events.OnMouseDown(1, 10, 20);
  events.OnMouseMove(11, 21);
  events.OnMouseUp(2, 12, 22);
  EXPECT_EQ(key, 'Z');

  // Every event of the library but OnPositionChanged, which the control never raises, in
  // stored order, with its arguments' kinds.
  const com::TTypeData& type = KyvPlayerTypeLibrary().Types[kTypeIKyvPlayerEvents];
  std::vector<const com::TFuncData*> expected;
  for (const com::TFuncData& func : type.Funcs)
    if (std::string(func.Name) != "OnPositionChanged") expected.push_back(&func);
  ASSERT_EQ(sink->Events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const com::TFuncData& func = *expected[i];
    EXPECT_EQ(sink->Events[i].Member, func.Id) << func.Name;
    std::vector<VARTYPE> kinds;
    for (const com::TParamData& param : func.Params)
      kinds.push_back((param.Flags & PARAMFLAG_FOUT) != 0 ? VT_BYREF | param.Type.Carried
                                                          : param.Type.Carried);
    EXPECT_EQ(sink->Events[i].Kinds, kinds) << func.Name;
  }
  EXPECT_EQ(sink->Events[6].Numbers, std::vector<int64_t>{'a'});
  EXPECT_EQ(sink->Events[9].Numbers, std::vector<int64_t>{7});
  EXPECT_EQ(sink->Events[13].Numbers,
            std::vector<int64_t>{static_cast<int64_t>(reinterpret_cast<intptr_t>(record))});
  EXPECT_EQ(sink->Events[14].Text, "在工作线程中调用");
  EXPECT_EQ(sink->Events[17].Numbers, (std::vector<int64_t>{2, 12, 22}));
  ASSERT_EQ(source->Point.Unadvise(cookie), S_OK);
}

}  // namespace
}  // namespace kyv
