/* A small dual interface of the tests' own, for C and C++ hosts: what the runtime's tests and
   the dispatcher's fuzz target drive. Slots 7.. follow IDispatch's. */
#ifndef KYV_TESTS_TESTCALC_H
#define KYV_TESTS_TESTCALC_H

#include "kyv/kyvcom.h"

KYV_EXTERN_C_BEGIN

KYV_DEFINE_GUID(CLSID_TestCalc, 0x5B0C7E51, 0x2A77, 0x4C36, 0x9E, 0x1D, 0x61, 0x3F, 0x0A, 0x52,
                0x77, 0xC4);
KYV_DEFINE_GUID(IID_ITestCalc, 0x5B0C7E52, 0x2A77, 0x4C36, 0x9E, 0x1D, 0x61, 0x3F, 0x0A, 0x52, 0x77,
                0xC4);
KYV_DEFINE_GUID(DIID_ITestCalcEvents, 0x5B0C7E53, 0x2A77, 0x4C36, 0x9E, 0x1D, 0x61, 0x3F, 0x0A,
                0x52, 0x77, 0xC4);
#define TESTCALC_PROGID "KyvTests.TestCalc"

#define DISPID_TESTCALC_NAME 1
#define DISPID_TESTCALC_ADD 2
#define DISPID_TESTCALC_FLAG 3
#define DISPID_TESTCALC_FAIL 4
#define DISPID_TESTCALC_FIRE 5
#define DISPID_TESTCALC_BIG 6
#define DISPID_TESTCALC_SCALE 7
#define DISPID_TESTCALCEVENTS_ONVALUE 1
#define DISPID_TESTCALCEVENTS_ONKEY 2

#ifdef __cplusplus
}

struct ITestCalc : IDispatch {
 public:
  virtual HRESULT get_Name(BSTR* Value) = 0;
  virtual HRESULT put_Name(BSTR Value) = 0;
  virtual HRESULT Add(int32_t A, int32_t B, int32_t* Sum) = 0;
  virtual HRESULT get_Flag(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_Flag(VARIANT_BOOL Value) = 0;
  /* Fails with E_FAIL and Message as the thread's error description. */
  virtual HRESULT Fail(BSTR Message) = 0;
  /* Raises OnValue(Value), then OnKey with a key of Value's low 16 bits, and keeps the key as
     the sinks left it (read it with Scale(1)). */
  virtual HRESULT Fire(int32_t Value) = 0;
  virtual HRESULT get_Big(int64_t* Value) = 0;
  virtual HRESULT put_Big(int64_t Value) = 0;
  /* Result = Factor * the last key (1 before any Fire). */
  virtual HRESULT Scale(int16_t Factor, int32_t* Result) = 0;

 protected:
  ~ITestCalc() = default;
};

extern "C" {
#else

struct ITestCalc;
typedef struct ITestCalcVtbl {
  KYV_IDISPATCH_MEMBERS(struct ITestCalc);
  HRESULT (*get_Name)(struct ITestCalc* This, BSTR* Value);
  HRESULT (*put_Name)(struct ITestCalc* This, BSTR Value);
  HRESULT (*Add)(struct ITestCalc* This, int32_t A, int32_t B, int32_t* Sum);
  HRESULT (*get_Flag)(struct ITestCalc* This, VARIANT_BOOL* Value);
  HRESULT (*put_Flag)(struct ITestCalc* This, VARIANT_BOOL Value);
  HRESULT (*Fail)(struct ITestCalc* This, BSTR Message);
  HRESULT (*Fire)(struct ITestCalc* This, int32_t Value);
  HRESULT (*get_Big)(struct ITestCalc* This, int64_t* Value);
  HRESULT (*put_Big)(struct ITestCalc* This, int64_t Value);
  HRESULT (*Scale)(struct ITestCalc* This, int16_t Factor, int32_t* Result);
} ITestCalcVtbl;
typedef struct ITestCalc {
  const ITestCalcVtbl* lpVtbl;
} ITestCalc;

#endif

KYV_EXTERN_C_END

#endif
