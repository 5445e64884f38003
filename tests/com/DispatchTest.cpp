#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestCalcObject.h"
#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/TypeInfo.h"
#include "com/Variant.h"

namespace kyv::com {
namespace {

using test::TTestCalc;

// One Invoke with the arguments written in the caller's order; Named holds the numbers of
// the first Named.size() arguments (as rgvarg keeps named ones first).
struct TCall {
  DISPID Member;
  WORD Flags;
  std::vector<TVariant> Args;
  std::vector<DISPID> Named = {};
};

struct TOutcome {
  HRESULT Result;
  TVariant Value;
  UINT ArgError = 0xFFFF;
  std::string Description;
};

TOutcome Dispatch(IDispatch& Object, TCall Call) {
  std::vector<TVariant> reversed(Call.Args.rbegin(), Call.Args.rend());
  // Named arguments lead rgvarg: move them to the front in the order of Named.
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(),
                    Call.Named.empty() ? nullptr : Call.Named.data(),
                    static_cast<UINT>(reversed.size()), static_cast<UINT>(Call.Named.size())};
  TOutcome outcome;
  EXCEPINFO exception{};
  outcome.Result = Object.Invoke(Call.Member, IID_NULL, 0, Call.Flags, &params, &outcome.Value,
                                 &exception, &outcome.ArgError);
  outcome.Description = TBstr::Adopt(exception.bstrDescription).Utf8();
  SysFreeString(exception.bstrSource);
  return outcome;
}

TEST(TypedDispatch, NamesAreFoundWithoutRegardToCase) {
  TComPtr<TTestCalc> calc = MakeCom<TTestCalc>();
  const char16_t* names[] = {u"sCaLe", u"FACTOR", u"nothing"};
  DISPID ids[3];
  EXPECT_EQ(calc->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names), 2, 0, ids), S_OK);
  EXPECT_EQ(ids[0], DISPID_TESTCALC_SCALE);
  EXPECT_EQ(ids[1], 0);  // a parameter's number is its position
  EXPECT_EQ(calc->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names), 3, 0, ids),
            DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
  const char16_t* unknown[] = {u"Nope"};
  EXPECT_EQ(calc->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(unknown), 1, 0, ids),
            DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(calc->GetIDsOfNames(IID_IDispatch, const_cast<LPOLESTR*>(names), 1, 0, ids),
            DISP_E_UNKNOWNINTERFACE);
}

TEST(TypedDispatch, InvokeCallsTheSlotsWithCoercedArgumentsOrSaysWhyNot) {
  TComPtr<TTestCalc> calc = MakeCom<TTestCalc>();
  IDispatch& object = *calc;
  constexpr WORD kMethod = DISPATCH_METHOD;
  constexpr WORD kGet = DISPATCH_PROPERTYGET;
  constexpr WORD kPut = DISPATCH_PROPERTYPUT;
  struct TRow {
    const char* What;
    TCall Call;
    HRESULT Result;
    UINT ArgError;  // 0xFFFF: untouched
  };
  const std::vector<TRow> rows = {
      {"add",
       {DISPID_TESTCALC_ADD, kMethod, {TVariant::I4(40), TVariant::Utf8("2")}},
       S_OK,
       0xFFFF},
      {"add named",
       {DISPID_TESTCALC_ADD, kMethod, {TVariant::I4(1), TVariant::I4(2)}, {1, 0}},
       S_OK,
       0xFFFF},
      {"add one", {DISPID_TESTCALC_ADD, kMethod, {TVariant::I4(1)}}, DISP_E_BADPARAMCOUNT, 0xFFFF},
      {"add text",
       {DISPID_TESTCALC_ADD, kMethod, {TVariant::Utf8("x"), TVariant::I4(2)}},
       DISP_E_TYPEMISMATCH,
       1},
      {"add named twice",
       {DISPID_TESTCALC_ADD, kMethod, {TVariant::I4(1), TVariant::I4(2)}, {0, 0}},
       DISP_E_PARAMNOTFOUND,
       0xFFFF},
      {"add named beyond",
       {DISPID_TESTCALC_ADD, kMethod, {TVariant::I4(1), TVariant::I4(2)}, {2}},
       DISP_E_PARAMNOTFOUND,
       0xFFFF},
      {"scale overflow",
       {DISPID_TESTCALC_SCALE, kMethod, {TVariant::I4(40000)}},
       DISP_E_OVERFLOW,
       0},
      {"get as method", {DISPID_TESTCALC_NAME, kMethod | kGet, {}}, S_OK, 0xFFFF},
      {"get with argument",
       {DISPID_TESTCALC_NAME, kGet, {TVariant::I4(1)}},
       DISP_E_BADPARAMCOUNT,
       0xFFFF},
      {"put unnamed",
       {DISPID_TESTCALC_NAME, kPut, {TVariant::Utf8("n")}},
       DISP_E_PARAMNOTFOUND,
       0xFFFF},
      {"put named",
       {DISPID_TESTCALC_NAME, kPut, {TVariant::Utf8("n")}, {DISPID_PROPERTYPUT}},
       S_OK,
       0xFFFF},
      {"put a method",
       {DISPID_TESTCALC_ADD, kPut, {TVariant::I4(1)}, {DISPID_PROPERTYPUT}},
       DISP_E_MEMBERNOTFOUND,
       0xFFFF},
      {"get a method", {DISPID_TESTCALC_ADD, kGet, {}}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
      {"unknown member", {99, kMethod, {}}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
      {"standard number unknown here", {DISPID_CAPTION, kGet, {}}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
      {"fail",
       {DISPID_TESTCALC_FAIL, kMethod, {TVariant::Utf8("Unknown color format")}},
       DISP_E_EXCEPTION,
       0xFFFF},
      {"big",
       {DISPID_TESTCALC_BIG, kPut, {TVariant::Utf8("-9000000000")}, {DISPID_PROPERTYPUT}},
       S_OK,
       0xFFFF},
  };
  for (const TRow& row : rows) {
    const TOutcome outcome = Dispatch(object, row.Call);
    EXPECT_EQ(outcome.Result, row.Result) << row.What;
    EXPECT_EQ(outcome.ArgError, row.ArgError) << row.What;
  }
  TOutcome sum =
      Dispatch(object, {DISPID_TESTCALC_ADD, kMethod, {TVariant::I4(40), TVariant::Utf8("2")}});
  ASSERT_EQ(sum.Value.vt, VT_I4);
  EXPECT_EQ(sum.Value.u.lVal, 42);
  TOutcome failed =
      Dispatch(object, {DISPID_TESTCALC_FAIL, kMethod, {TVariant::Utf8("Unknown color format")}});
  EXPECT_EQ(failed.Description, "Unknown color format");
  TOutcome big = Dispatch(object, {DISPID_TESTCALC_BIG, kGet, {}});
  ASSERT_EQ(big.Value.vt, VT_I8);
  EXPECT_EQ(big.Value.u.llVal, -9000000000);
  TOutcome name = Dispatch(object, {DISPID_TESTCALC_NAME, kGet, {}});
  EXPECT_EQ(TBstr::View(name.Value.u.bstrVal), u"n");
}

TEST(TypedDispatch, SlotsAndInvokeRunTheSameMembers) {
  TComPtr<TTestCalc> calc = MakeCom<TTestCalc>();
  ASSERT_EQ(calc->put_Flag(VARIANT_TRUE), S_OK);
  EXPECT_EQ(calc->Calls, 1);
  const TOutcome flag = Dispatch(*calc, {DISPID_TESTCALC_FLAG, DISPATCH_PROPERTYGET, {}});
  EXPECT_EQ(calc->Calls, 2);
  ASSERT_EQ(flag.Value.vt, VT_BOOL);
  EXPECT_EQ(flag.Value.u.boolVal, VARIANT_TRUE);
  // A refused call never reaches the member.
  Dispatch(*calc, {DISPID_TESTCALC_ADD, DISPATCH_METHOD, {TVariant::I4(1)}});
  EXPECT_EQ(calc->Calls, 2);
}

TEST(TypedDispatch, TypeInfoDescribesTheSlots) {
  TComPtr<TTestCalc> calc = MakeCom<TTestCalc>();
  TComPtr<ITypeInfo> info;
  ASSERT_EQ(calc->GetTypeInfo(0, 0, info.Receive()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 10);
  EXPECT_EQ(attr->cbSizeVft, 17 * sizeof(void*));
  EXPECT_EQ(attr->wTypeFlags & TYPEFLAG_FDUAL, TYPEFLAG_FDUAL);
  info->ReleaseTypeAttr(attr);
  FUNCDESC* desc = nullptr;
  ASSERT_EQ(info->GetFuncDesc(2, &desc), S_OK);  // Add(A, B, [out, retval] Sum)
  EXPECT_EQ(desc->memid, DISPID_TESTCALC_ADD);
  EXPECT_EQ(desc->oVft, 9 * static_cast<int>(sizeof(void*)));
  EXPECT_EQ(desc->cParams, 3);
  EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.vt, VT_I4);
  EXPECT_EQ(desc->lprgelemdescParam[2].tdesc.vt, VT_PTR);
  EXPECT_EQ(desc->lprgelemdescParam[2].tdesc.u.lptdesc->vt, VT_I4);
  EXPECT_EQ(desc->lprgelemdescParam[2].u.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  info->ReleaseFuncDesc(desc);
  EXPECT_EQ(info->GetFuncDesc(10, &desc), TYPE_E_ELEMENTNOTFOUND);
  BSTR names[4] = {};
  UINT count = 0;
  ASSERT_EQ(info->GetNames(DISPID_TESTCALC_ADD, names, 4, &count), S_OK);
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(TBstr::Adopt(names[0]).Utf8() + TBstr::Adopt(names[1]).Utf8() +
                TBstr::Adopt(names[2]).Utf8() + TBstr::Adopt(names[3]).Utf8(),
            "AddABSum");
  TBstr help;
  ASSERT_EQ(info->GetDocumentation(DISPID_TESTCALC_ADD, nullptr, help.Receive(), nullptr, nullptr),
            S_OK);
  EXPECT_EQ(help.Utf8(), "Adds two numbers");
}

// A sink that notes its events and doubles the key it is given.
class TSink : public TComObject<IDispatch> {
 public:
  HRESULT GetTypeInfoCount(UINT* Count) override {
    *Count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    Seen.push_back(Member);
    if (Member == DISPID_TESTCALCEVENTS_ONKEY)
      *Params->rgvarg[0].u.piVal = static_cast<int16_t>(*Params->rgvarg[0].u.piVal * 2);
    return E_FAIL;  // what a sink answers is ignored
  }
  std::vector<DISPID> Seen;
};

TEST(ConnectionPoint, EverySinkGetsEachEventUntilItDisconnects) {
  TComPtr<TTestCalc> calc = MakeCom<TTestCalc>();
  TComPtr<IConnectionPointContainer> container = calc.As<IConnectionPointContainer>();
  ASSERT_TRUE(container);
  TComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.Receive()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(DIID_ITestCalcEvents, point.Receive()), S_OK);
  IID source{};
  EXPECT_EQ(point->GetConnectionInterface(&source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, DIID_ITestCalcEvents));

  TComPtr<TSink> first = MakeCom<TSink>(), second = MakeCom<TSink>();
  DWORD a = 0, b = 0;
  ASSERT_EQ(point->Advise(first.Get(), &a), S_OK);
  ASSERT_EQ(point->Advise(second.Get(), &b), S_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(point->Advise(nullptr, &b), E_POINTER);
  ASSERT_EQ(calc->Fire(3), S_OK);
  const std::vector<DISPID> both = {DISPID_TESTCALCEVENTS_ONVALUE, DISPID_TESTCALCEVENTS_ONKEY};
  EXPECT_EQ(first->Seen, both);
  EXPECT_EQ(second->Seen, both);
  int32_t key = 0;
  ASSERT_EQ(calc->Scale(1, &key), S_OK);
  EXPECT_EQ(key, 12);  // each sink in turn doubled it
  ASSERT_EQ(point->Unadvise(a), S_OK);
  EXPECT_EQ(point->Unadvise(a), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(calc->Fire(4), S_OK);
  EXPECT_EQ(first->Seen.size(), 2u);
  EXPECT_EQ(second->Seen.size(), 4u);
  // The point answers for its container.
  TComPtr<IConnectionPointContainer> owner;
  ASSERT_EQ(point->GetConnectionPointContainer(owner.Receive()), S_OK);
  EXPECT_EQ(owner.Get(), container.Get());
}

// The live stream raises on its own thread while the host connects and disconnects.
TEST(ConnectionPoint, SinksComeAndGoWhileAnotherThreadRaises) {
  TComPtr<TTestCalc> calc = MakeCom<TTestCalc>();
  TComPtr<IConnectionPoint> point;
  ASSERT_EQ(calc.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_ITestCalcEvents,
                                                                      point.Receive()),
            S_OK);
  std::atomic<bool> stop{false};
  std::thread raiser([&] {
    while (!stop) calc->Fire(1);
  });
  for (int i = 0; i < 300; ++i) {
    TComPtr<TSink> sink = MakeCom<TSink>();
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    ASSERT_EQ(point->Unadvise(cookie), S_OK);
  }
  stop = true;
  raiser.join();
}

}  // namespace
}  // namespace kyv::com
