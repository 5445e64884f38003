#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestCalcObject.h"
#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/Variant.h"
#include "platform/ScopedEnv.h"
#include "support/TempFolder.h"

namespace kyv::com {
namespace {

std::string Text(const VARIANT& Value) {
  return Value.vt == VT_BSTR
             ? TBstr::Adopt(SysAllocStringLen(Value.u.bstrVal, SysStringLen(Value.u.bstrVal)))
                   .Utf8()
             : "<not a text>";
}

TEST(Bstr, CarriesItsByteLengthBeforeTheTextAndATerminatorAfter) {
  BSTR text = SysAllocStringUtf8("a\xE4\xB8\xAD\xF0\x9F\x98\x80");  // a, U+4E2D, U+1F600
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 4u);  // one unit, one unit, a surrogate pair
  EXPECT_EQ(SysStringByteLen(text), 8u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(text)[-1], 8u);
  EXPECT_EQ(text[4], 0);
  EXPECT_EQ(TBstr::Adopt(text).Utf8(), "a\xE4\xB8\xAD\xF0\x9F\x98\x80");

  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR zeros = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(zeros[0] | zeros[1] | zeros[2] | zeros[3], 0);
  SysFreeString(zeros);
  // A length whose byte count does not fit the prefix is refused.
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  // Cut or bad UTF-8 becomes U+FFFD, never a read past the end.
  EXPECT_EQ(TBstr::Adopt(SysAllocStringUtf8("x\xE4\xB8")).View(), u"x\xFFFD\xFFFD");
}

TEST(Guid, TextRoundTripsAndOtherFormsAreRefused) {
  OLECHAR text[39];
  ASSERT_EQ(StringFromGUID2(IID_IDispatch, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(StringFromGUID2(IID_IDispatch, text, 38), 0);
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{5b0c7e51-2a77-4c36-9e1d-613f0a5277c4}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, CLSID_TestCalc));
  for (const char16_t* bad :
       {u"", u"5B0C7E51-2A77-4C36-9E1D-613F0A5277C4", u"{5B0C7E51-2A77-4C36-9E1D-613F0A5277C}",
        u"{5B0C7E51-2A77-4C36-9E1D-613F0A5277C4}x", u"{5B0C7E51+2A77-4C36-9E1D-613F0A5277C4}",
        u"{5B0C7E5G-2A77-4C36-9E1D-613F0A5277C4}"})
    EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING) << TBstr(bad).Utf8();
}

TEST(Variant, ChangeTypeConvertsWhatFitsAndRefusesTheRest) {
  struct TCase {
    TVariant From;
    VARTYPE To;
    HRESULT Result;
    int64_t Number;  // when the result is a number or a Boolean
  };
  const TCase cases[] = {
      {TVariant::I4(70000), VT_I2, DISP_E_OVERFLOW, 0},
      {TVariant::I4(-32768), VT_I2, S_OK, -32768},
      {TVariant::I4(-1), VT_UI4, DISP_E_OVERFLOW, 0},
      {TVariant::I8(0xFFFFFFFF), VT_UI4, S_OK, -1},  // all bits set, read back as signed
      {TVariant::I8(int64_t{1} << 31), VT_I4, DISP_E_OVERFLOW, 0},
      {TVariant::Utf8(" -12 "), VT_I4, S_OK, -12},
      {TVariant::Utf8("+-5"), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {TVariant::Utf8("12abc"), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {TVariant::Utf8("99999999999999999999"), VT_I8, DISP_E_OVERFLOW, 0},
      {TVariant::Utf8("true"), VT_BOOL, S_OK, VARIANT_TRUE},
      {TVariant::Utf8("False"), VT_I4, S_OK, 0},
      {TVariant::I2(3), VT_BOOL, S_OK, VARIANT_TRUE},
      {TVariant::Bool(true), VT_I4, S_OK, -1},
      {TVariant(), VT_I4, S_OK, 0},
  };
  for (const TCase& c : cases) {
    TVariant out;
    EXPECT_EQ(VariantChangeType(&out, &c.From, 0, c.To), c.Result) << c.From.vt << "->" << c.To;
    if (c.Result != S_OK) {
      EXPECT_EQ(out.vt, VT_EMPTY);
      continue;
    }
    ASSERT_EQ(out.vt, c.To);
    const int64_t number = c.To == VT_I2     ? out.u.iVal
                           : c.To == VT_BOOL ? out.u.boolVal
                                             : out.u.lVal;
    EXPECT_EQ(number, c.Number);
  }
  VARIANT dbl;
  VariantInit(&dbl);
  dbl.vt = VT_R8;
  dbl.u.dblVal = 2.5;  // rounds to even, as Automation does
  TVariant out;
  ASSERT_EQ(VariantChangeType(&out, &dbl, 0, VT_I4), S_OK);
  EXPECT_EQ(out.u.lVal, 2);

  TVariant text;
  ASSERT_EQ(VariantChangeType(&text, &out, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Text(text), "2");
  ASSERT_EQ(VariantChangeType(&text, &text, 0, VT_I8), S_OK);  // in place
  EXPECT_EQ(text.u.llVal, 2);

  int16_t key = 9;
  const TVariant reference = TVariant::ByRefI2(&key);
  ASSERT_EQ(VariantChangeType(&out, &reference, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), "9");
  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x7FF;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantChangeType(&out, &bad, 0, VT_I4), DISP_E_BADVARTYPE);
}

TEST(Variant, CopiesAndClearsKeepReferenceCountsRight) {
  TComPtr<test::TTestCalc> object = MakeCom<test::TTestCalc>();
  TVariant holder;
  holder.vt = VT_DISPATCH;
  holder.u.pdispVal = object.Get();
  object->AddRef();
  {
    TVariant copy = holder;
    EXPECT_EQ(object->AddRef(), 4u);  // ours, holder's, copy's, this one
    object->Release();
    TVariant unknown;
    ASSERT_EQ(VariantChangeType(&unknown, &copy, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(object->AddRef(), 5u);
    object->Release();
  }
  holder = TVariant();
  EXPECT_EQ(object->AddRef(), 2u);
  object->Release();
}

TEST(ErrorInfo, BelongsToTheThreadThatSetItAndIsTakenOnce) {
  ASSERT_EQ(KyvSetErrorText(IID_ITestCalc, "source", "Fail to download file: x"), S_OK);
  std::thread([] {
    IErrorInfo* info = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
    EXPECT_EQ(info, nullptr);
  }).join();
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  TComPtr<IErrorInfo> held = TComPtr<IErrorInfo>::Adopt(info);
  TBstr description, source;
  GUID guid{};
  EXPECT_EQ(held->GetDescription(description.Receive()), S_OK);
  EXPECT_EQ(held->GetSource(source.Receive()), S_OK);
  EXPECT_EQ(held->GetGUID(&guid), S_OK);
  EXPECT_EQ(description.Utf8(), "Fail to download file: x");
  EXPECT_EQ(source.Utf8(), "source");
  EXPECT_TRUE(IsEqualGUID(guid, IID_ITestCalc));
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  // SetErrorInfo takes a reference; null clears.
  ASSERT_EQ(SetErrorInfo(0, held.Get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
}

TEST(MessagePump, RunsTheDispatcherOfTheCallingThreadOnly) {
  struct TState {
    int Calls = 0;
    int32_t Timeout = 0;
  } state;
  const KyvMessageDispatcher dispatcher = [](void* Context, int32_t TimeoutMs) -> HRESULT {
    auto* seen = static_cast<TState*>(Context);
    ++seen->Calls;
    seen->Timeout = TimeoutMs;
    return S_OK;
  };
  ASSERT_EQ(CoRegisterMessageDispatcher(dispatcher, &state), S_OK);
  EXPECT_EQ(CoPumpMessages(25), S_OK);
  EXPECT_EQ(state.Calls, 1);
  EXPECT_EQ(state.Timeout, 25);
  std::thread([] { EXPECT_EQ(CoPumpMessages(-1), S_FALSE); }).join();  // none there: no hang
  EXPECT_EQ(state.Calls, 1);
  ASSERT_EQ(CoRegisterMessageDispatcher(nullptr, nullptr), S_OK);
  EXPECT_EQ(CoPumpMessages(0), S_FALSE);
  EXPECT_EQ(state.Calls, 1);
}

class RegistryTest : public ::testing::Test {
 protected:
  test::TTempFolder Folder{"kyv_registry"};
  TScopedEnv Root{"KYV_REGISTRY", Folder.Path().c_str()};

  std::string Get(const char* Key, const char* Name = "") {
    char buffer[256];
    size_t needed = 0;
    const HRESULT result = KyvRegGetValue(Key, Name, buffer, sizeof buffer, &needed);
    return result == S_OK ? std::string(buffer) : "<" + std::to_string(result) + ">";
  }
};

TEST_F(RegistryTest, RootComesFromTheEnvironmentInOrder) {
  char buffer[512];
  ASSERT_GT(KyvRegistryRoot(buffer, sizeof buffer), 0u);
  EXPECT_EQ(std::string(buffer), Folder.Path().string());
  {
    TScopedEnv none("KYV_REGISTRY", nullptr);
    TScopedEnv data("XDG_DATA_HOME", "/data");
    ASSERT_GT(KyvRegistryRoot(buffer, sizeof buffer), 0u);
    EXPECT_EQ(std::string(buffer), "/data/kyvplayer/registry");
    TScopedEnv noData("XDG_DATA_HOME", nullptr);
    TScopedEnv home("HOME", "/home/u");
    const size_t needed = KyvRegistryRoot(nullptr, 0);
    EXPECT_EQ(needed, std::string("/home/u/.local/share/kyvplayer/registry").size() + 1);
    ASSERT_EQ(KyvRegistryRoot(buffer, sizeof buffer), needed);
    EXPECT_EQ(std::string(buffer), "/home/u/.local/share/kyvplayer/registry");
  }
}

TEST_F(RegistryTest, KeysAreFoldersAndValuesFilesWithoutLineEnds) {
  ASSERT_EQ(KyvRegSetValue("CLSID\\{X}\\InprocServer32", "", "/opt/lib/libkyvplayer.so"), S_OK);
  ASSERT_EQ(KyvRegSetValue("CLSID/{X}/InprocServer32", "ThreadingModel", "Apartment"), S_OK);
  const auto folder = Folder.Path() / "CLSID" / "{X}" / "InprocServer32";
  std::ifstream value(folder / "@ThreadingModel", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(value), {}), "Apartment");
  EXPECT_EQ(Get("CLSID\\{X}\\InprocServer32"), "/opt/lib/libkyvplayer.so");
  EXPECT_EQ(Get("CLSID\\{X}\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Get("CLSID\\{X}\\InprocServer32", "Other"), "<1>");  // S_FALSE
  char small[4];
  size_t needed = 0;
  EXPECT_EQ(KyvRegGetValue("CLSID\\{X}\\InprocServer32", "", small, sizeof small, &needed),
            E_OUTOFMEMORY);
  EXPECT_EQ(needed, 25u);

  EXPECT_EQ(KyvRegDeleteKey("CLSID\\{X}"), E_ACCESSDENIED);  // still has a sub-key
  EXPECT_EQ(KyvRegDeleteKey("CLSID\\{X}\\InprocServer32"), S_OK);
  EXPECT_EQ(KyvRegDeleteKey("CLSID\\{X}\\InprocServer32"), S_FALSE);
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(RegistryTest, KeysThatCouldLeaveTheTreeAreRefused) {
  for (const char* key : {"", "..\\x", "a\\..\\..\\x", "a\\\\b", "a\\.", "a\\@b", "a\\b\n", "/"})
    EXPECT_EQ(KyvRegSetValue(key, "", "v"), E_INVALIDARG) << key;
  EXPECT_EQ(KyvRegSetValue("a", "x/y", "v"), E_INVALIDARG);
  EXPECT_TRUE(std::filesystem::is_empty(Folder.Path()));
}

TEST_F(RegistryTest, ConcurrentWritersNeverLeaveATornValue) {
  const std::string a(4096, 'a'), b(8192, 'b');
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    std::vector<char> buffer(16384);
    while (!stop) {
      size_t needed = 0;
      if (KyvRegGetValue("Key", "", buffer.data(), buffer.size(), &needed) != S_OK) continue;
      const std::string value(buffer.data());
      if (value != a && value != b) ++torn;
    }
  });
  std::vector<std::thread> writers;
  for (const std::string* text : {&a, &b})
    writers.emplace_back([&, text] {
      for (int i = 0; i < 200; ++i) EXPECT_EQ(KyvRegSetValue("Key", "", text->c_str()), S_OK);
    });
  for (std::thread& writer : writers) writer.join();
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0);
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Folder.Path() / "Key")) {
    EXPECT_EQ(entry.path().filename(), "@");
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(RegistryTest, CreatingAnUnregisteredOrBrokenClassFailsClearly) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(KyvRegSetValue("CLSID\\{5B0C7E51-2A77-4C36-9E1D-613F0A5277C4}\\InprocServer32", "",
                           "libc.so.6"),
            S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CO_E_DLLNOTFOUND);  // a bare name is never searched for
  ASSERT_EQ(KyvRegSetValue("CLSID\\{5B0C7E51-2A77-4C36-9E1D-613F0A5277C4}\\InprocServer32", "",
                           (Folder.Path() / "missing.so").c_str()),
            S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CO_E_DLLNOTFOUND);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"No.Such", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"..\\..\\etc", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(object, nullptr);
  CoUninitialize();
}

}  // namespace
}  // namespace kyv::com
