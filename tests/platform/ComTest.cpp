#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ComDispatch.h"
#include "platform/ComPtr.h"
#include "platform/ComTypes.h"
#include "platform/ComVariant.h"
#include "platform/Errors.h"

namespace kyv {
namespace {

// An interface of the tests' own, to see QueryInterface tell interfaces apart.
class IProbe : public IUnknown {
 public:
  static constexpr IID kIid{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  static bool Answers(const IID& Iid) noexcept { return Iid == kIid || IUnknown::Answers(Iid); }
  virtual int Value() = 0;

 protected:
  ~IProbe() = default;
};

// A dispatch object with two members that notes every call and counts its own destruction.
class TRecordingDispatch : public TComObject<IDispatch, IProbe> {
 public:
  static constexpr DISPID kAdd = 7;
  static constexpr DISPID kTwice = 8;

  explicit TRecordingDispatch(std::atomic<int>& Destroyed) : FDestroyed(Destroyed) {}
  ~TRecordingDispatch() override { ++FDestroyed; }

  int Value() override { return 42; }

  HRESULT GetIDsOfNames(const IID&, std::span<const BSTR> Names, LCID, DISPID* Ids) override {
    static constexpr TDispatchName kTable[] = {{u"Add", kAdd}, {u"TwiceKey", kTwice}};
    return LookUpNames(kTable, Names, Ids);
  }

  HRESULT Invoke(DISPID Member, const IID&, LCID, WORD, DISPPARAMS* Params, VARIANT* Result,
                 EXCEPINFO*, uint32_t* ArgError) override {
    if (Member == kAdd) {
      if (const HRESULT check = CheckArguments(Params, 2); Failed(check)) return check;
      int32_t a = 0, b = 0;
      if (Failed(Argument(*Params, 0).ToInt32(a))) {
        if (ArgError) *ArgError = 1;
        return DISP_E_TYPEMISMATCH;
      }
      if (Failed(Argument(*Params, 1).ToInt32(b))) {
        if (ArgError) *ArgError = 0;
        return DISP_E_TYPEMISMATCH;
      }
      Calls.push_back(std::to_string(a) + "+" + std::to_string(b));
      if (Result) *Result = VARIANT::I4(a + b);
      return S_OK;
    }
    if (Member == kTwice) {
      if (const HRESULT check = CheckArguments(Params, 1); Failed(check)) return check;
      int16_t* key = Argument(*Params, 0).piVal();
      *key = static_cast<int16_t>(*key * 2);
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  std::vector<std::string> Calls;

 private:
  std::atomic<int>& FDestroyed;
};

TEST(ComTypes, GuidTextRoundTripsAndRejectsOtherForms) {
  EXPECT_EQ(GuidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
  const GUID probe = IProbe::kIid;
  const std::string text = GuidToString(probe);
  EXPECT_EQ(text, "{12345678-9ABC-DEF0-0102-030405060708}");
  ASSERT_TRUE(GuidFromString(text).has_value());
  EXPECT_EQ(*GuidFromString(text), probe);
  EXPECT_EQ(*GuidFromString("{12345678-9abc-def0-0102-030405060708}"), probe);
  for (const char* bad :
       {"", "12345678-9ABC-DEF0-0102-030405060708", "{12345678-9ABC-DEF0-0102-03040506070}",
        "{12345678-9ABC-DEF0-0102+030405060708}", "{1234567G-9ABC-DEF0-0102-030405060708}",
        "{12345678-9ABC-DEF0-0102-030405060708}x"})
    EXPECT_FALSE(GuidFromString(bad).has_value()) << bad;
}

TEST(ComObject, QueryInterfaceKeepsIdentityAndCountsReferences) {
  std::atomic<int> destroyed{0};
  {
    TComPtr<IDispatch> dispatch = MakeCom<TRecordingDispatch>(destroyed);
    TComPtr<IProbe> probe = dispatch.As<IProbe>();
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->Value(), 42);
    // Asked for IUnknown through either interface, the object gives the same pointer.
    EXPECT_EQ(dispatch.As<IUnknown>().Get(), probe.As<IUnknown>().Get());
    EXPECT_EQ(dispatch.As<IDispatch>().Get(), dispatch.Get());

    void* none = reinterpret_cast<void*>(1);
    constexpr IID kOther{1, 2, 3, {}};
    EXPECT_EQ(dispatch->QueryInterface(kOther, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(dispatch->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

    TComPtr<IDispatch> copy = dispatch;
    dispatch.Reset();
    EXPECT_EQ(destroyed, 0);  // the copy and the probe still hold it
    TComPtr<IDispatch> moved = std::move(copy);
    EXPECT_FALSE(copy);  // NOLINT(bugprone-use-after-move): a moved-from pointer is empty
    probe.Reset();
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(ComObject, ReferencesTakenOnManyThreadsBalance) {
  std::atomic<int> destroyed{0};
  TComPtr<IDispatch> shared = MakeCom<TRecordingDispatch>(destroyed);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&shared] {
      for (int i = 0; i < 10000; ++i) TComPtr<IDispatch> copy(shared.Get());
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(destroyed, 0);
  shared.Reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(ComVariant, CopiesAndClearingKeepInterfaceCountsRight) {
  std::atomic<int> destroyed{0};
  TComPtr<IDispatch> object = MakeCom<TRecordingDispatch>(destroyed);
  {
    VARIANT held = VARIANT::Dispatch(object.Get());
    VARIANT copy = held;
    VARIANT assigned = VARIANT::I4(3);
    assigned = copy;
    VARIANT unknown = VARIANT::Unknown(object.As<IUnknown>().Get());
    object.Reset();
    EXPECT_EQ(destroyed, 0);
    held.Clear();
    EXPECT_EQ(held.vt(), VT_EMPTY);
    VARIANT moved = std::move(copy);
    EXPECT_EQ(copy.vt(), VT_EMPTY);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.pdispVal(), assigned.pdispVal());
    assigned = std::move(moved);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
  // A null interface is a value too.
  EXPECT_EQ(VARIANT::Dispatch(nullptr).pdispVal(), nullptr);
}

TEST(ComVariant, AccessorsCheckTheKind) {
  const VARIANT number = VARIANT::I8(1LL << 40);
  EXPECT_EQ(number.vt(), VT_I8);
  EXPECT_EQ(number.llVal(), 1LL << 40);
  EXPECT_THROW(number.lVal(), EAssertionFailed);
  EXPECT_THROW(VARIANT().bstrVal(), EAssertionFailed);
  EXPECT_EQ(VARIANT::Bool(true).boolVal(), VARIANT_TRUE);
  EXPECT_EQ(VARIANT::Bool(false).boolVal(), VARIANT_FALSE);
  int16_t key = 5;
  const VARIANT byRef = VARIANT::ByRefI2(&key);
  EXPECT_EQ(byRef.vt(), VT_BYREF | VT_I2);
  EXPECT_THROW(byRef.iVal(), EAssertionFailed);
}

TEST(ComVariant, ConversionsRefuseWhatDoesNotFit) {
  int16_t i16 = 9;
  int32_t i32 = 9;
  EXPECT_EQ(VARIANT::I4(40000).ToInt16(i16), DISP_E_OVERFLOW);
  EXPECT_EQ(i16, 9);
  EXPECT_EQ(VARIANT::I8(int64_t{1} << 31).ToInt32(i32), DISP_E_OVERFLOW);
  EXPECT_EQ(VARIANT::I8(-(int64_t{1} << 31)).ToInt32(i32), S_OK);
  EXPECT_EQ(i32, INT32_MIN);
  EXPECT_EQ(VARIANT::Bool(true).ToInt32(i32), S_OK);
  EXPECT_EQ(i32, -1);
  EXPECT_EQ(VARIANT::Bstr(u" -12 ").ToInt32(i32), S_OK);
  EXPECT_EQ(i32, -12);
  EXPECT_EQ(VARIANT::Bstr(u"12a").ToInt32(i32), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VARIANT::Bstr(u"+7").ToInt32(i32), S_OK);
  EXPECT_EQ(i32, 7);
  // One sign only: a minus after the plus is no number.
  EXPECT_EQ(VARIANT::Bstr(u"+-5").ToInt32(i32), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VARIANT::Bstr(u"+").ToInt32(i32), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VARIANT::Bstr(u"").ToInt32(i32), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VARIANT::Bstr(u"99999999999999999999").ToInt32(i32), DISP_E_OVERFLOW);
  EXPECT_EQ(VARIANT::Dispatch(nullptr).ToInt32(i32), DISP_E_TYPEMISMATCH);

  bool flag = false;
  EXPECT_EQ(VARIANT::Bstr(u"true").ToBool(flag), S_OK);
  EXPECT_TRUE(flag);
  EXPECT_EQ(VARIANT::I2(0).ToBool(flag), S_OK);
  EXPECT_FALSE(flag);
  BSTR text;
  EXPECT_EQ(VARIANT::Bool(true).ToBstr(text), S_OK);
  EXPECT_EQ(text, u"True");
  EXPECT_EQ(VARIANT::I8(-5).ToBstr(text), S_OK);
  EXPECT_EQ(text, u"-5");
  EXPECT_EQ(VARIANT().ToBstr(text), S_OK);
  EXPECT_EQ(text, u"");
}

TEST(ComVariant, TextsConvertBetweenTheLocaleAndUtf16) {
  const std::string local = "直播 live";
  const BSTR wide = ToBstr(local);
  EXPECT_EQ(wide, u"直播 live");
  EXPECT_EQ(FromBstr(wide), local);
}

TEST(ComDispatch, NamesAreFoundWithoutRegardToCase) {
  std::atomic<int> destroyed{0};
  TComPtr<IDispatch> object = MakeCom<TRecordingDispatch>(destroyed);
  DISPID id = 0;
  const BSTR lower[] = {u"twicekey"};
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, lower, 0, &id), S_OK);
  EXPECT_EQ(id, TRecordingDispatch::kTwice);
  const BSTR unknown[] = {u"Adder"};
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, unknown, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  // Parameter names are never known, but the member still is.
  const BSTR withParameter[] = {u"ADD", u"a"};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, withParameter, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], TRecordingDispatch::kAdd);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_FALSE(SameNameNoCase(u"Add", u"Ad"));
}

TEST(ComDispatch, InvokeHandsArgumentsInTheCallersOrder) {
  std::atomic<int> destroyed{0};
  auto object = MakeCom<TRecordingDispatch>(destroyed);
  VARIANT result;
  const VARIANT args[] = {VARIANT::I4(1), VARIANT::I2(20)};
  EXPECT_EQ(InvokeMethod(*object, TRecordingDispatch::kAdd, args, &result), S_OK);
  EXPECT_EQ(result.lVal(), 21);
  EXPECT_EQ(object->Calls, std::vector<std::string>{"1+20"});

  const VARIANT one[] = {VARIANT::I4(1)};
  EXPECT_EQ(InvokeMethod(*object, TRecordingDispatch::kAdd, one), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(InvokeMethod(*object, 99, {}), DISP_E_MEMBERNOTFOUND);

  // The second argument is not a number: rgvarg index 0 is reported.
  const VARIANT badSecond[] = {VARIANT::I4(1), VARIANT::Bstr(u"x")};
  VARIANT reversed[] = {badSecond[1], badSecond[0]};
  DISPPARAMS params{reversed, nullptr, 2, 0};
  uint32_t argError = 99;
  EXPECT_EQ(object->Invoke(TRecordingDispatch::kAdd, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                           nullptr, &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 0u);

  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS withNamed{reversed, &named, 2, 1};
  EXPECT_EQ(object->Invoke(TRecordingDispatch::kAdd, IID_NULL, 0, DISPATCH_METHOD, &withNamed,
                           nullptr, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  EXPECT_EQ(object->Invoke(TRecordingDispatch::kAdd, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                           nullptr, nullptr),
            E_POINTER);
}

TEST(ComDispatch, ByReferenceArgumentIsWrittenThrough) {
  std::atomic<int> destroyed{0};
  auto object = MakeCom<TRecordingDispatch>(destroyed);
  int16_t key = 21;
  const VARIANT args[] = {VARIANT::ByRefI2(&key)};
  EXPECT_EQ(InvokeMethod(*object, TRecordingDispatch::kTwice, args), S_OK);
  EXPECT_EQ(key, 42);
}

}  // namespace
}  // namespace kyv
