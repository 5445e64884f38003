// Late-bound calls of every shape against the generic dispatcher over the test calculator:
// member numbers, kinds of call, argument counts and kinds, named arguments. Whatever a host
// sends, the answer is one of Invoke's documented results and nothing is leaked or overrun.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "TestCalcObject.h"
#include "com/ComPtr.h"
#include "com/Variant.h"

namespace {

class TReader {
 public:
  TReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  uint8_t Byte() { return FAt < FSize ? FData[FAt++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  int32_t Long() { return static_cast<int32_t>(Word() | static_cast<uint32_t>(Word()) << 16); }

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FAt = 0;
};

constexpr DISPID kMembers[] = {
    DISPID_TESTCALC_NAME, DISPID_TESTCALC_ADD, DISPID_TESTCALC_FLAG,  DISPID_TESTCALC_FAIL,
    DISPID_TESTCALC_FIRE, DISPID_TESTCALC_BIG, DISPID_TESTCALC_SCALE, 0,
    DISPID_PROPERTYPUT,   DISPID_CAPTION};

// Targets that by-reference arguments point at; they outlive the call.
struct TTargets {
  int16_t I2 = 0;
  int32_t I4 = 0;
  BSTR Text = nullptr;
  kyv::com::TVariant Inner;
};

kyv::com::TVariant MakeArgument(TReader& In, TTargets& Targets, IDispatch* Object) {
  using kyv::com::TVariant;
  TVariant value;
  switch (In.Byte() % 14) {
    case 0:
      break;
    case 1:
      value.vt = VT_NULL;
      break;
    case 2:
      return TVariant::I2(static_cast<int16_t>(In.Word()));
    case 3:
      return TVariant::I4(In.Long());
    case 4:
      return TVariant::I8(static_cast<int64_t>(static_cast<uint32_t>(In.Long()))
                          << (In.Byte() % 40));
    case 5:
      value.vt = VT_R8;
      value.u.dblVal = static_cast<double>(In.Long()) * (In.Byte() % 2 ? 1e9 : 0.5);
      break;
    case 6:
      return TVariant::Bool(In.Byte() & 1);
    case 7: {
      std::u16string text(In.Byte() % 24, u' ');
      for (char16_t& c : text)
        c = static_cast<char16_t>(In.Byte() % 3 ? u'0' + In.Byte() % 12 : In.Word());
      return TVariant::Text(text);
    }
    case 8:
      value.vt = In.Byte() & 1 ? VT_DISPATCH : VT_UNKNOWN;
      value.u.pdispVal = In.Byte() & 1 ? Object : nullptr;
      if (value.u.pdispVal != nullptr) Object->AddRef();
      break;
    case 9:
      Targets.I2 = static_cast<int16_t>(In.Word());
      return TVariant::ByRefI2(In.Byte() % 8 ? &Targets.I2 : nullptr);
    case 10:
      value.vt = VT_BYREF | VT_I4;
      value.u.plVal = &Targets.I4;
      break;
    case 11:
      value.vt = VT_BYREF | VT_BSTR;
      value.u.pbstrVal = &Targets.Text;
      break;
    case 12:
      Targets.Inner = TVariant::I4(In.Long());
      value.vt = VT_BYREF | VT_VARIANT;
      value.u.pvarVal = &Targets.Inner;
      break;
    default:
      // A kind the runtime does not know, carrying no value that must be freed.
      value.vt = static_cast<VARTYPE>(In.Word() & ~(VT_BYREF | VT_BSTR | VT_DISPATCH | VT_UNKNOWN));
      if (value.vt == VT_BSTR || value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) value.vt = 0x7F;
      value.u.llVal = 0;
      break;
  }
  return value;
}

bool Documented(HRESULT Result) {
  switch (Result) {
    case S_OK:
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTFOUND:
    case DISP_E_TYPEMISMATCH:
    case DISP_E_OVERFLOW:
    case DISP_E_EXCEPTION:
    case DISP_E_UNKNOWNINTERFACE:
    case E_INVALIDARG:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kyv;
  TReader in(data, size);
  com::TComPtr<test::TTestCalc> calc = com::MakeCom<test::TTestCalc>();
  const uint8_t choice = in.Byte();
  const DISPID member = choice < 200 ? kMembers[choice % std::size(kMembers)] : in.Long();
  const WORD flags = in.Byte() & 1 ? static_cast<WORD>(1 << (in.Byte() % 4)) : in.Word();
  const UINT count = in.Byte() % 5;
  const UINT named = count == 0 ? 0 : in.Byte() % (count + 1);
  TTargets targets;
  std::vector<com::TVariant> args;
  for (UINT i = 0; i < count; ++i) args.push_back(MakeArgument(in, targets, calc.Get()));
  std::vector<DISPID> ids;
  for (UINT i = 0; i < named; ++i)
    ids.push_back(in.Byte() & 1 ? DISPID_PROPERTYPUT : static_cast<int8_t>(in.Byte()));
  DISPPARAMS params{args.empty() ? nullptr : args.data(), ids.empty() ? nullptr : ids.data(), count,
                    named};
  com::TVariant result;
  EXCEPINFO exception{};
  UINT argError = 0xFFFF;
  const bool withResult = in.Byte() & 1;
  const HRESULT answer =
      calc->Invoke(member, in.Byte() % 16 ? IID_NULL : IID_IDispatch, 0, flags, &params,
                   withResult ? &result : nullptr, &exception, &argError);
  if (!Documented(answer)) std::abort();
  if ((answer == DISP_E_TYPEMISMATCH || answer == DISP_E_OVERFLOW) && argError >= count)
    std::abort();
  if (answer != DISP_E_EXCEPTION && (exception.bstrDescription || exception.bstrSource))
    std::abort();
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(targets.Text);
  return 0;
}
