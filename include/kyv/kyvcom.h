/* The component runtime of KyvPlayer: the Automation types in their standard binary layouts
   (LP64), the interfaces every component and host shares, and the runtime's functions.

   Interfaces are tables of function pointers. A C program sees each as a struct whose first
   member points at its table (lpVtbl) and calls slot N as p->lpVtbl->Member(p, ...); a C++
   program sees the same object as an abstract class with the members in the same order and no
   virtual destructor, so slot N is the same for both. Objects are freed by their last Release.

   Threads: the runtime's functions may be called on any thread; error information and the
   message dispatcher belong to the calling thread. What an object allows on which thread its
   class says. */
#ifndef KYV_KYVCOM_H
#define KYV_KYVCOM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define KYV_EXTERN_C extern "C"
#define KYV_EXTERN_C_BEGIN extern "C" {
#define KYV_EXTERN_C_END }
#define KYV_STATIC_ASSERT static_assert
#else
#include <uchar.h>
#define KYV_EXTERN_C extern
#define KYV_EXTERN_C_BEGIN
#define KYV_EXTERN_C_END
#define KYV_STATIC_ASSERT _Static_assert
#endif

#define KYVCOM_API __attribute__((visibility("default")))

KYV_EXTERN_C_BEGIN

/* ---- Scalars ---------------------------------------------------------------------------- */

typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef int32_t DISPID;
typedef int32_t MEMBERID;
typedef uint32_t LCID;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint16_t USHORT;
typedef int16_t SHORT;
typedef uint32_t UINT;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef uint32_t HREFTYPE;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
/* The first UTF-16 unit of a text whose byte length (a u32) lies just before it; always
   zero-terminated. Made only by SysAllocString and its kin, freed by SysFreeString. */
typedef OLECHAR* BSTR;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_ABORT ((HRESULT)0x80004004)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8)
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define REGDB_E_READREGDB ((HRESULT)0x80040150)
#define REGDB_E_WRITEREGDB ((HRESULT)0x80040151)
#define SELFREG_E_TYPELIB ((HRESULT)0x80040200)
#define SELFREG_E_CLASS ((HRESULT)0x80040201)
#define CONNECT_E_NOCONNECTION ((HRESULT)0x80040200)
#define CONNECT_E_ADVISELIMIT ((HRESULT)0x80040201)
#define CONNECT_E_CANNOTCONNECT ((HRESULT)0x80040202)
#define CONNECT_E_OVERRIDDEN ((HRESULT)0x80040203)
#define TYPE_E_ELEMENTNOTFOUND ((HRESULT)0x8002802B)
#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006)
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000A)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define DISP_E_PARAMNOTOPTIONAL ((HRESULT)0x8002000F)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000E)

/* Standard member numbers. */
#define DISPID_UNKNOWN ((DISPID)-1)
#define DISPID_VALUE ((DISPID)0)
#define DISPID_PROPERTYPUT ((DISPID)-3)
#define DISPID_BACKCOLOR ((DISPID)-501)
#define DISPID_FONT ((DISPID)-512)
#define DISPID_ENABLED ((DISPID)-514)
#define DISPID_CAPTION ((DISPID)-518)

/* IDispatch::Invoke's kinds of call; a script's "obj.x" may ask for method and get at once. */
#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

#define LOCALE_USER_DEFAULT ((LCID)0x0400)
#define LOCALE_SYSTEM_DEFAULT ((LCID)0x0800)

/* ---- GUID --------------------------------------------------------------------------------- */

typedef struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#ifdef __cplusplus
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&
#else
#define REFGUID const GUID*
#define REFIID const IID*
#define REFCLSID const CLSID*
#endif

KYV_STATIC_ASSERT(sizeof(GUID) == 16, "GUID is 16 bytes");
KYV_STATIC_ASSERT(offsetof(GUID, Data4) == 8, "GUID.Data4 at 8");

/* ---- VARIANT -------------------------------------------------------------------------------- */

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_USERDEFINED = 29,
  VT_BYREF = 0x4000
};

struct IUnknown;
struct IDispatch;

/* 24 bytes: the kind at 0, three reserved u16, the value at 8. VARIANTARG is the same. */
typedef struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    int64_t llVal;
    int32_t lVal;
    int16_t iVal;
    uint8_t bVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    struct IUnknown* punkVal;
    struct IDispatch* pdispVal;
    int16_t* piVal;
    int32_t* plVal;
    int64_t* pllVal;
    VARIANT_BOOL* pboolVal;
    BSTR* pbstrVal;
    struct VARIANT* pvarVal;
    void* byref;
    struct {
      void* pvRecord;
      void* pRecInfo;
    } brecVal;
  } u;
} VARIANT;
typedef VARIANT VARIANTARG;

KYV_STATIC_ASSERT(sizeof(VARIANT) == 24, "VARIANT is 24 bytes");
KYV_STATIC_ASSERT(offsetof(VARIANT, u) == 8, "VARIANT's value at 8");

/* The arguments of one Invoke, last first: the first argument a caller writes is
   rgvarg[cArgs - 1]. Named arguments come first in rgvarg, their numbers in rgdispidNamedArgs. */
typedef struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

KYV_STATIC_ASSERT(sizeof(DISPPARAMS) == 24, "DISPPARAMS is 24 bytes");
KYV_STATIC_ASSERT(offsetof(DISPPARAMS, cArgs) == 16, "DISPPARAMS.cArgs at 16");

/* What a member that failed with DISP_E_EXCEPTION tells its caller; the caller frees the texts. */
typedef struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(struct EXCEPINFO*);
  SCODE scode;
} EXCEPINFO;

KYV_STATIC_ASSERT(sizeof(EXCEPINFO) == 64, "EXCEPINFO is 64 bytes");
KYV_STATIC_ASSERT(offsetof(EXCEPINFO, bstrSource) == 8, "EXCEPINFO.bstrSource at 8");
KYV_STATIC_ASSERT(offsetof(EXCEPINFO, dwHelpContext) == 32, "EXCEPINFO.dwHelpContext at 32");
KYV_STATIC_ASSERT(offsetof(EXCEPINFO, scode) == 56, "EXCEPINFO.scode at 56");

/* ---- Type descriptions (what ITypeInfo hands out) ------------------------------------------ */

typedef enum TYPEKIND {
  TKIND_ENUM = 0,
  TKIND_RECORD = 1,
  TKIND_MODULE = 2,
  TKIND_INTERFACE = 3,
  TKIND_DISPATCH = 4,
  TKIND_COCLASS = 5,
  TKIND_ALIAS = 6,
  TKIND_UNION = 7
} TYPEKIND;

typedef enum FUNCKIND {
  FUNC_VIRTUAL = 0,
  FUNC_PUREVIRTUAL = 1,
  FUNC_NONVIRTUAL = 2,
  FUNC_STATIC = 3,
  FUNC_DISPATCH = 4
} FUNCKIND;

typedef enum INVOKEKIND {
  INVOKE_FUNC = 1,
  INVOKE_PROPERTYGET = 2,
  INVOKE_PROPERTYPUT = 4,
  INVOKE_PROPERTYPUTREF = 8
} INVOKEKIND;

typedef enum CALLCONV { CC_CDECL = 1, CC_STDCALL = 4 } CALLCONV;

typedef enum VARKIND {
  VAR_PERINSTANCE = 0,
  VAR_STATIC = 1,
  VAR_CONST = 2,
  VAR_DISPATCH = 3
} VARKIND;

typedef enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 } SYSKIND;

#define TYPEFLAG_FAPPOBJECT 0x1
#define TYPEFLAG_FCANCREATE 0x2
#define TYPEFLAG_FLICENSED 0x4
#define TYPEFLAG_FPREDECLID 0x8
#define TYPEFLAG_FHIDDEN 0x10
#define TYPEFLAG_FCONTROL 0x20
#define TYPEFLAG_FDUAL 0x40
#define TYPEFLAG_FNONEXTENSIBLE 0x80
#define TYPEFLAG_FOLEAUTOMATION 0x100
#define TYPEFLAG_FRESTRICTED 0x200
#define TYPEFLAG_FAGGREGATABLE 0x400
#define TYPEFLAG_FREPLACEABLE 0x800
#define TYPEFLAG_FDISPATCHABLE 0x1000

#define FUNCFLAG_FRESTRICTED 0x1
#define FUNCFLAG_FSOURCE 0x2
#define FUNCFLAG_FBINDABLE 0x4
#define FUNCFLAG_FHIDDEN 0x40

#define IMPLTYPEFLAG_FDEFAULT 0x1
#define IMPLTYPEFLAG_FSOURCE 0x2

#define PARAMFLAG_NONE 0x0
#define PARAMFLAG_FIN 0x1
#define PARAMFLAG_FOUT 0x2
#define PARAMFLAG_FLCID 0x4
#define PARAMFLAG_FRETVAL 0x8
#define PARAMFLAG_FOPT 0x10

#define LIBFLAG_FRESTRICTED 0x1
#define LIBFLAG_FCONTROL 0x2
#define LIBFLAG_FHIDDEN 0x4

#define MEMBERID_NIL ((MEMBERID)-1)

typedef struct TYPEDESC {
  union {
    struct TYPEDESC* lptdesc; /* VT_PTR, VT_SAFEARRAY */
    void* lpadesc;            /* VT_CARRAY */
    HREFTYPE hreftype;        /* VT_USERDEFINED */
  } u;
  VARTYPE vt;
} TYPEDESC;

typedef struct PARAMDESC {
  void* pparamdescex;
  USHORT wParamFlags;
} PARAMDESC;

typedef struct IDLDESC {
  uintptr_t dwReserved;
  USHORT wIDLFlags;
} IDLDESC;

typedef struct ELEMDESC {
  TYPEDESC tdesc;
  union {
    IDLDESC idldesc;
    PARAMDESC paramdesc;
  } u;
} ELEMDESC;

typedef struct TYPEATTR {
  GUID guid;
  LCID lcid;
  DWORD dwReserved;
  MEMBERID memidConstructor;
  MEMBERID memidDestructor;
  LPOLESTR lpstrSchema;
  ULONG cbSizeInstance;
  TYPEKIND typekind;
  WORD cFuncs;
  WORD cVars;
  WORD cImplTypes;
  WORD cbSizeVft;
  WORD cbAlignment;
  WORD wTypeFlags;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  TYPEDESC tdescAlias;
  IDLDESC idldescType;
} TYPEATTR;

typedef struct FUNCDESC {
  MEMBERID memid;
  SCODE* lprgscode;
  ELEMDESC* lprgelemdescParam;
  FUNCKIND funckind;
  INVOKEKIND invkind;
  CALLCONV callconv;
  SHORT cParams;
  SHORT cParamsOpt;
  SHORT oVft; /* byte offset of the slot in the table: slot * sizeof(void*) */
  SHORT cScodes;
  ELEMDESC elemdescFunc;
  WORD wFuncFlags;
} FUNCDESC;

typedef struct VARDESC {
  MEMBERID memid;
  LPOLESTR lpstrSchema;
  union {
    ULONG oInst;
    VARIANT* lpvarValue; /* VAR_CONST: the enumeration value */
  } u;
  ELEMDESC elemdescVar;
  WORD wVarFlags;
  VARKIND varkind;
} VARDESC;

typedef struct TLIBATTR {
  GUID guid;
  LCID lcid;
  SYSKIND syskind;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  WORD wLibFlags;
} TLIBATTR;

typedef struct CONNECTDATA {
  struct IUnknown* pUnk;
  DWORD dwCookie;
} CONNECTDATA;

KYV_STATIC_ASSERT(sizeof(TYPEDESC) == 16 && offsetof(TYPEDESC, vt) == 8, "TYPEDESC layout");
KYV_STATIC_ASSERT(sizeof(PARAMDESC) == 16 && offsetof(PARAMDESC, wParamFlags) == 8,
                  "PARAMDESC layout");
KYV_STATIC_ASSERT(sizeof(ELEMDESC) == 32 && offsetof(ELEMDESC, u) == 16, "ELEMDESC layout");
KYV_STATIC_ASSERT(sizeof(TYPEATTR) == 96, "TYPEATTR is 96 bytes");
KYV_STATIC_ASSERT(offsetof(TYPEATTR, lpstrSchema) == 32 && offsetof(TYPEATTR, typekind) == 44 &&
                      offsetof(TYPEATTR, cFuncs) == 48 && offsetof(TYPEATTR, wTypeFlags) == 58 &&
                      offsetof(TYPEATTR, tdescAlias) == 64 && offsetof(TYPEATTR, idldescType) == 80,
                  "TYPEATTR layout");
KYV_STATIC_ASSERT(sizeof(FUNCDESC) == 88, "FUNCDESC is 88 bytes");
KYV_STATIC_ASSERT(offsetof(FUNCDESC, lprgscode) == 8 &&
                      offsetof(FUNCDESC, lprgelemdescParam) == 16 &&
                      offsetof(FUNCDESC, funckind) == 24 && offsetof(FUNCDESC, cParams) == 36 &&
                      offsetof(FUNCDESC, oVft) == 40 && offsetof(FUNCDESC, elemdescFunc) == 48 &&
                      offsetof(FUNCDESC, wFuncFlags) == 80,
                  "FUNCDESC layout");
KYV_STATIC_ASSERT(sizeof(VARDESC) == 64 && offsetof(VARDESC, u) == 16 &&
                      offsetof(VARDESC, elemdescVar) == 24 && offsetof(VARDESC, wVarFlags) == 56 &&
                      offsetof(VARDESC, varkind) == 60,
                  "VARDESC layout");
KYV_STATIC_ASSERT(sizeof(TLIBATTR) == 32 && offsetof(TLIBATTR, wLibFlags) == 28, "TLIBATTR layout");
KYV_STATIC_ASSERT(sizeof(CONNECTDATA) == 16, "CONNECTDATA is 16 bytes");

/* ---- Interface identifiers ------------------------------------------------------------------ */

#ifdef __cplusplus
#define KYV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  static constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define KYV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  static const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#endif

KYV_DEFINE_GUID(IID_NULL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
KYV_DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
KYV_DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
KYV_DEFINE_GUID(IID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
KYV_DEFINE_GUID(IID_ITypeInfo, 0x00020401, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
KYV_DEFINE_GUID(IID_ITypeLib, 0x00020402, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
KYV_DEFINE_GUID(IID_IErrorInfo, 0x1CF2B120, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B,
                0xD1, 0x19);
KYV_DEFINE_GUID(IID_ISupportErrorInfo, 0xDF0B3D60, 0x548F, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B,
                0x2B, 0xD1, 0x19);
KYV_DEFINE_GUID(IID_IConnectionPointContainer, 0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA,
                0x00, 0x34, 0x1D, 0x07);
KYV_DEFINE_GUID(IID_IConnectionPoint, 0xB196B286, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
                0x34, 0x1D, 0x07);

/* ---- Interfaces ------------------------------------------------------------------------------ */

struct ITypeInfo;
struct ITypeLib;
struct IEnumConnections;
struct IEnumConnectionPoints;

#ifdef __cplusplus
}  // extern "C": the classes below are C++ only

/* C++: the same tables as abstract classes. No virtual destructor (it would add slots): objects
   go by their last Release, never by delete. */
struct IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IDispatch : IUnknown {
 public:
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(int32_t fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  virtual HRESULT Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
 public:
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

struct IErrorInfo : IUnknown {
 public:
  virtual HRESULT GetGUID(GUID* pGUID) = 0;
  virtual HRESULT GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* pdwHelpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ISupportErrorInfo : IUnknown {
 public:
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

struct ITypeInfo : IUnknown {
 public:
  virtual HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  virtual HRESULT GetTypeComp(void** ppTComp) = 0;
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  virtual HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
  virtual HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) = 0;
  virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
  virtual HRESULT GetImplTypeFlags(UINT index, int32_t* pImplTypeFlags) = 0;
  virtual HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) = 0;
  virtual HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  virtual HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName,
                              BSTR* pBstrName, WORD* pwOrdinal) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT AddressOfMember(MEMBERID memid, INVOKEKIND invKind, void** ppv) = 0;
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) = 0;
  virtual HRESULT GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
  virtual HRESULT GetContainingTypeLib(void** ppTLib, UINT* pIndex) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
  virtual void ReleaseVarDesc(VARDESC* pVarDesc) = 0;

 protected:
  ~ITypeInfo() = default;
};

struct ITypeLib : IUnknown {
 public:
  virtual UINT GetTypeInfoCount() = 0;
  virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* pTKind) = 0;
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) = 0;
  virtual HRESULT GetLibAttr(TLIBATTR** ppTLibAttr) = 0;
  virtual HRESULT GetTypeComp(void** ppTComp) = 0;
  /* index -1 is the library itself. */
  virtual HRESULT GetDocumentation(int32_t index, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
  virtual HRESULT IsName(LPOLESTR szNameBuf, ULONG lHashVal, int32_t* pfName) = 0;
  virtual HRESULT FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo,
                           MEMBERID* rgMemId, USHORT* pcFound) = 0;
  virtual void ReleaseTLibAttr(TLIBATTR* pTLibAttr) = 0;

 protected:
  ~ITypeLib() = default;
};

extern "C" {
#else /* C: each interface is a pointer to its table, each member takes the object first. */

struct IClassFactory;
struct IConnectionPoint;
struct IConnectionPointContainer;
struct IErrorInfo;
struct ISupportErrorInfo;

#define KYV_IUNKNOWN_MEMBERS(T)                                       \
  HRESULT (*QueryInterface)(T * This, REFIID riid, void** ppvObject); \
  ULONG (*AddRef)(T * This);                                          \
  ULONG (*Release)(T * This)

#define KYV_IDISPATCH_MEMBERS(T)                                                                 \
  KYV_IUNKNOWN_MEMBERS(T);                                                                       \
  HRESULT (*GetTypeInfoCount)(T * This, UINT * pctinfo);                                         \
  HRESULT (*GetTypeInfo)(T * This, UINT iTInfo, LCID lcid, struct ITypeInfo * *ppTInfo);         \
  HRESULT(*GetIDsOfNames)                                                                        \
  (T * This, REFIID riid, LPOLESTR * rgszNames, UINT cNames, LCID lcid, DISPID * rgDispId);      \
  HRESULT(*Invoke)                                                                               \
  (T * This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS * pDispParams, \
   VARIANT * pVarResult, EXCEPINFO * pExcepInfo, UINT * puArgErr)

typedef struct IUnknownVtbl {
  KYV_IUNKNOWN_MEMBERS(struct IUnknown);
} IUnknownVtbl;
typedef struct IUnknown {
  const IUnknownVtbl* lpVtbl;
} IUnknown;

typedef struct IDispatchVtbl {
  KYV_IDISPATCH_MEMBERS(struct IDispatch);
} IDispatchVtbl;
typedef struct IDispatch {
  const IDispatchVtbl* lpVtbl;
} IDispatch;

typedef struct IClassFactoryVtbl {
  KYV_IUNKNOWN_MEMBERS(struct IClassFactory);
  HRESULT(*CreateInstance)
  (struct IClassFactory* This, IUnknown* pUnkOuter, REFIID riid, void** ppvObject);
  HRESULT (*LockServer)(struct IClassFactory* This, int32_t fLock);
} IClassFactoryVtbl;
typedef struct IClassFactory {
  const IClassFactoryVtbl* lpVtbl;
} IClassFactory;

struct IConnectionPointContainer;

typedef struct IConnectionPointVtbl {
  KYV_IUNKNOWN_MEMBERS(struct IConnectionPoint);
  HRESULT (*GetConnectionInterface)(struct IConnectionPoint* This, IID* pIID);
  HRESULT(*GetConnectionPointContainer)
  (struct IConnectionPoint* This, struct IConnectionPointContainer** ppCPC);
  HRESULT (*Advise)(struct IConnectionPoint* This, IUnknown* pUnkSink, DWORD* pdwCookie);
  HRESULT (*Unadvise)(struct IConnectionPoint* This, DWORD dwCookie);
  HRESULT (*EnumConnections)(struct IConnectionPoint* This, struct IEnumConnections** ppEnum);
} IConnectionPointVtbl;
typedef struct IConnectionPoint {
  const IConnectionPointVtbl* lpVtbl;
} IConnectionPoint;

typedef struct IConnectionPointContainerVtbl {
  KYV_IUNKNOWN_MEMBERS(struct IConnectionPointContainer);
  HRESULT(*EnumConnectionPoints)
  (struct IConnectionPointContainer* This, struct IEnumConnectionPoints** ppEnum);
  HRESULT(*FindConnectionPoint)
  (struct IConnectionPointContainer* This, REFIID riid, IConnectionPoint** ppCP);
} IConnectionPointContainerVtbl;
typedef struct IConnectionPointContainer {
  const IConnectionPointContainerVtbl* lpVtbl;
} IConnectionPointContainer;

typedef struct IErrorInfoVtbl {
  KYV_IUNKNOWN_MEMBERS(struct IErrorInfo);
  HRESULT (*GetGUID)(struct IErrorInfo* This, GUID* pGUID);
  HRESULT (*GetSource)(struct IErrorInfo* This, BSTR* pBstrSource);
  HRESULT (*GetDescription)(struct IErrorInfo* This, BSTR* pBstrDescription);
  HRESULT (*GetHelpFile)(struct IErrorInfo* This, BSTR* pBstrHelpFile);
  HRESULT (*GetHelpContext)(struct IErrorInfo* This, DWORD* pdwHelpContext);
} IErrorInfoVtbl;
typedef struct IErrorInfo {
  const IErrorInfoVtbl* lpVtbl;
} IErrorInfo;

typedef struct ISupportErrorInfoVtbl {
  KYV_IUNKNOWN_MEMBERS(struct ISupportErrorInfo);
  HRESULT (*InterfaceSupportsErrorInfo)(struct ISupportErrorInfo* This, REFIID riid);
} ISupportErrorInfoVtbl;
typedef struct ISupportErrorInfo {
  const ISupportErrorInfoVtbl* lpVtbl;
} ISupportErrorInfo;

typedef struct ITypeInfoVtbl {
  KYV_IUNKNOWN_MEMBERS(struct ITypeInfo);
  HRESULT (*GetTypeAttr)(struct ITypeInfo* This, TYPEATTR** ppTypeAttr);
  HRESULT (*GetTypeComp)(struct ITypeInfo* This, void** ppTComp);
  HRESULT (*GetFuncDesc)(struct ITypeInfo* This, UINT index, FUNCDESC** ppFuncDesc);
  HRESULT (*GetVarDesc)(struct ITypeInfo* This, UINT index, VARDESC** ppVarDesc);
  HRESULT(*GetNames)
  (struct ITypeInfo* This, MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames);
  HRESULT (*GetRefTypeOfImplType)(struct ITypeInfo* This, UINT index, HREFTYPE* pRefType);
  HRESULT (*GetImplTypeFlags)(struct ITypeInfo* This, UINT index, int32_t* pImplTypeFlags);
  HRESULT(*GetIDsOfNames)
  (struct ITypeInfo* This, LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId);
  HRESULT(*Invoke)
  (struct ITypeInfo* This, void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(*GetDocumentation)
  (struct ITypeInfo* This, MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
   DWORD* pdwHelpContext, BSTR* pBstrHelpFile);
  HRESULT(*GetDllEntry)
  (struct ITypeInfo* This, MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
   WORD* pwOrdinal);
  HRESULT (*GetRefTypeInfo)(struct ITypeInfo* This, HREFTYPE hRefType, struct ITypeInfo** ppTInfo);
  HRESULT(*AddressOfMember)
  (struct ITypeInfo* This, MEMBERID memid, INVOKEKIND invKind, void** ppv);
  HRESULT(*CreateInstance)
  (struct ITypeInfo* This, IUnknown* pUnkOuter, REFIID riid, void** ppvObj);
  HRESULT (*GetMops)(struct ITypeInfo* This, MEMBERID memid, BSTR* pBstrMops);
  HRESULT (*GetContainingTypeLib)(struct ITypeInfo* This, void** ppTLib, UINT* pIndex);
  void (*ReleaseTypeAttr)(struct ITypeInfo* This, TYPEATTR* pTypeAttr);
  void (*ReleaseFuncDesc)(struct ITypeInfo* This, FUNCDESC* pFuncDesc);
  void (*ReleaseVarDesc)(struct ITypeInfo* This, VARDESC* pVarDesc);
} ITypeInfoVtbl;
typedef struct ITypeInfo {
  const ITypeInfoVtbl* lpVtbl;
} ITypeInfo;

typedef struct ITypeLibVtbl {
  KYV_IUNKNOWN_MEMBERS(struct ITypeLib);
  UINT (*GetTypeInfoCount)(struct ITypeLib* This);
  HRESULT (*GetTypeInfo)(struct ITypeLib* This, UINT index, ITypeInfo** ppTInfo);
  HRESULT (*GetTypeInfoType)(struct ITypeLib* This, UINT index, TYPEKIND* pTKind);
  HRESULT (*GetTypeInfoOfGuid)(struct ITypeLib* This, REFGUID guid, ITypeInfo** ppTinfo);
  HRESULT (*GetLibAttr)(struct ITypeLib* This, TLIBATTR** ppTLibAttr);
  HRESULT (*GetTypeComp)(struct ITypeLib* This, void** ppTComp);
  HRESULT(*GetDocumentation)
  (struct ITypeLib* This, int32_t index, BSTR* pBstrName, BSTR* pBstrDocString,
   DWORD* pdwHelpContext, BSTR* pBstrHelpFile);
  HRESULT (*IsName)(struct ITypeLib* This, LPOLESTR szNameBuf, ULONG lHashVal, int32_t* pfName);
  HRESULT(*FindName)
  (struct ITypeLib* This, LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo,
   MEMBERID* rgMemId, USHORT* pcFound);
  void (*ReleaseTLibAttr)(struct ITypeLib* This, TLIBATTR* pTLibAttr);
} ITypeLibVtbl;
typedef struct ITypeLib {
  const ITypeLibVtbl* lpVtbl;
} ITypeLib;

#endif /* __cplusplus */

/* ---- The runtime's functions ------------------------------------------------------------------
 */

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_ALL 0x17

/* Counted per thread; every CoInitializeEx that succeeds (S_OK the first time, S_FALSE after)
   wants one CoUninitialize. */
KYVCOM_API HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
KYVCOM_API void CoUninitialize(void);

/* Creates an object of the class: the registry's CLSID\{clsid}\InprocServer32 names the library,
   which is loaded once per process and kept; its DllGetClassObject gives the class factory. */
KYVCOM_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                    REFIID riid, void** ppv);
KYVCOM_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved,
                                    REFIID riid, void** ppv);
/* The class of a program identifier, from the registry's PROGID\Clsid. */
KYVCOM_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
/* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hexadecimal in either case; CO_E_CLASSSTRING else. */
KYVCOM_API HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
/* Writes the braced upper-case form and its terminator; returns the units written (39), or 0
   when cchMax is too small. */
KYVCOM_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
KYVCOM_API int IsEqualGUID(REFGUID a, REFGUID b);

/* Strings. A null BSTR is an empty text everywhere. */
KYVCOM_API BSTR SysAllocString(const OLECHAR* psz);
KYVCOM_API BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
/* A BSTR of the UTF-8 text (bad sequences become U+FFFD); a convenience for C hosts. */
KYVCOM_API BSTR SysAllocStringUtf8(const char* utf8);
KYVCOM_API void SysFreeString(BSTR bstrString);
KYVCOM_API UINT SysStringLen(BSTR pbstr);
KYVCOM_API UINT SysStringByteLen(BSTR bstr);

/* Variants: the kinds VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_I8, VT_BOOL, VT_BSTR, VT_DISPATCH,
   VT_UNKNOWN, VT_ERROR and any VT_BYREF kind (borrowed: its target belongs to the maker). */
KYVCOM_API void VariantInit(VARIANTARG* pvarg);
/* Frees what the variant owns (its text, its reference) and empties it; DISP_E_BADVARTYPE for
   a kind it does not know, which it leaves as it was. */
KYVCOM_API HRESULT VariantClear(VARIANTARG* pvarg);
KYVCOM_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
/* Converts among VT_EMPTY, VT_I2, VT_I4, VT_UI4, VT_I8, VT_BOOL and VT_BSTR (a by-reference source is
   read through): numbers narrow with DISP_E_OVERFLOW, a decimal text is a number, numbers and
   Booleans ("True"/"False", -1/0) become texts; VT_DISPATCH and VT_UNKNOWN convert to each
   other through QueryInterface. Anything else is DISP_E_TYPEMISMATCH. pvargDest may be pvarSrc. */
KYVCOM_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                     USHORT wFlags, VARTYPE vt);

/* Error information of the calling thread: SetErrorInfo replaces it (null clears it),
   GetErrorInfo hands it over and clears it (S_FALSE and null when there is none). */
KYVCOM_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
KYVCOM_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
/* Sets the thread's error information to a new object with these texts (UTF-8; either may be
   null) and the interface it came from. */
KYVCOM_API HRESULT KyvSetErrorText(REFIID riid, const char* source, const char* description);

/* Runs the calling thread's messages for up to timeoutMs milliseconds (0: what is waiting,
   negative: until the dispatcher says it has nothing more to wait for). A component whose
   objects need an event loop registers its dispatcher for the creating thread; without one the
   call waits out the time and returns S_FALSE. */
typedef HRESULT (*KyvMessageDispatcher)(void* context, int32_t timeoutMs);
KYVCOM_API HRESULT CoPumpMessages(int32_t timeoutMs);
/* Registers (or, with a null dispatcher, removes) the calling thread's dispatcher. */
KYVCOM_API HRESULT CoRegisterMessageDispatcher(KyvMessageDispatcher dispatcher, void* context);

/* The registry: a folder tree, HKEY_CLASSES_ROOT being its root folder. Keys are paths with "\"
   or "/" between their parts ("CLSID\{...}\InprocServer32"); a value name of null or "" is the
   key's default value. Texts are UTF-8. */
/* The root used: $KYV_REGISTRY, else $XDG_DATA_HOME/kyvplayer/registry, else
   ~/.local/share/kyvplayer/registry. Copies it with its terminator into buffer; returns the
   bytes it needs, terminator included (0 when no root can be found). */
KYVCOM_API size_t KyvRegistryRoot(char* buffer, size_t size);
/* Creates the key and those above it, and writes the value atomically. */
KYVCOM_API HRESULT KyvRegSetValue(const char* key, const char* name, const char* value);
/* Creates the key (an empty key) and those above it. */
KYVCOM_API HRESULT KyvRegCreateKey(const char* key);
/* Copies the value with its terminator into buffer; returns S_OK, S_FALSE when the value does
   not exist, E_OUTOFMEMORY (and the bytes needed in *needed) when buffer is too small. */
KYVCOM_API HRESULT KyvRegGetValue(const char* key, const char* name, char* buffer, size_t size,
                                  size_t* needed);
/* Deletes a key with its values when it has no sub-keys: S_OK, S_FALSE when it did not exist,
   E_ACCESSDENIED when it still has sub-keys. */
KYVCOM_API HRESULT KyvRegDeleteKey(const char* key);

/* Loads a component library (kept loaded) and asks its exported DllGetTypeLib for the type
   library it carries. */
KYVCOM_API HRESULT LoadTypeLib(LPCOLESTR szFile, struct ITypeLib** pptlib);

/* What a component library exports. */
typedef HRESULT (*LPFNGETCLASSOBJECT)(REFCLSID rclsid, REFIID riid, void** ppv);
typedef HRESULT (*LPFNCANUNLOADNOW)(void);
typedef HRESULT (*LPFNREGISTERSERVER)(void);
typedef HRESULT (*LPFNGETTYPELIB)(struct ITypeLib** pptlib);

KYV_EXTERN_C_END

#endif /* KYV_KYVCOM_H */
