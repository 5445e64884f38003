#include "com/IdlWriter.h"

#include <cstdio>
#include <string>
#include <vector>

#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/GuidText.h"

namespace kyv::com {

namespace {

// IDL writes identifiers without braces.
std::string Uuid(const GUID& Guid) {
  return GuidText(Guid).substr(1, 36);
}

// A help string's quotes and backslashes escaped.
std::string Quoted(const TBstr& Text) {
  std::string out = "\"";
  for (char c : Text.Utf8()) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

class TIdlPrinter {
 public:
  explicit TIdlPrinter(std::ostream& Out) : FOut(Out) {}

  HRESULT Library(ITypeLib& Library) {
    TLIBATTR* attr = nullptr;
    if (const HRESULT result = Library.GetLibAttr(&attr); FAILED(result)) return result;
    const TLIBATTR lib = *attr;
    Library.ReleaseTLibAttr(attr);
    TBstr name, help;
    Library.GetDocumentation(-1, name.Receive(), help.Receive(), nullptr, nullptr);
    FOut << "[\n  uuid(" << Uuid(lib.guid) << "),\n  version(" << lib.wMajorVerNum << "."
         << lib.wMinorVerNum << "),\n";
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "0x%04X", static_cast<unsigned>(lib.lcid));
    FOut << "  lcid(" << lcid << ")";
    if (help.Get() != nullptr) FOut << ",\n  helpstring(" << Quoted(help) << ")";
    if ((lib.wLibFlags & LIBFLAG_FCONTROL) != 0) FOut << ",\n  control";
    FOut << "\n]\nlibrary " << name.Utf8() << "\n{\n";
    FOut << "    importlib(\"stdole2.tlb\");\n";
    const UINT count = Library.GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
      TComPtr<ITypeInfo> info;
      if (const HRESULT result = Library.GetTypeInfo(i, info.Receive()); FAILED(result))
        return result;
      FOut << "\n";
      if (const HRESULT result = Type(*info); FAILED(result)) return result;
    }
    FOut << "};\n";
    return S_OK;
  }

 private:
  HRESULT Type(ITypeInfo& Info) {
    TYPEATTR* attr = nullptr;
    if (const HRESULT result = Info.GetTypeAttr(&attr); FAILED(result)) return result;
    const TYPEATTR type = *attr;
    Info.ReleaseTypeAttr(attr);
    TBstr name, help;
    Info.GetDocumentation(MEMBERID_NIL, name.Receive(), help.Receive(), nullptr, nullptr);
    std::vector<std::string> attributes = {"uuid(" + Uuid(type.guid) + ")"};
    attributes.push_back("version(" + std::to_string(type.wMajorVerNum) + "." +
                         std::to_string(type.wMinorVerNum) + ")");
    if (help.Get() != nullptr) attributes.push_back("helpstring(" + Quoted(help) + ")");
    if ((type.wTypeFlags & TYPEFLAG_FHIDDEN) != 0) attributes.push_back("hidden");
    if ((type.wTypeFlags & TYPEFLAG_FDUAL) != 0) attributes.push_back("dual");
    if ((type.wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0) attributes.push_back("oleautomation");
    if ((type.wTypeFlags & TYPEFLAG_FCONTROL) != 0) attributes.push_back("control");
    if (type.typekind == TKIND_INTERFACE) attributes.insert(attributes.begin(), "odl");
    FOut << "    [\n";
    for (size_t i = 0; i < attributes.size(); ++i)
      FOut << "      " << attributes[i] << (i + 1 < attributes.size() ? ",\n" : "\n");
    FOut << "    ]\n";
    switch (type.typekind) {
      case TKIND_INTERFACE:
        FOut << "    interface " << name.Utf8() << " : IDispatch {\n";
        return Members(Info, type, "};\n");
      case TKIND_DISPATCH:
        FOut << "    dispinterface " << name.Utf8()
             << " {\n        properties:\n        methods:\n";
        return Members(Info, type, "};\n");
      case TKIND_ENUM:
        return Values(Info, type, name.Utf8());
      case TKIND_COCLASS:
        return Implemented(Info, type, name.Utf8());
      default:
        FOut << "    typedef " << name.Utf8() << ";\n";
        return S_OK;
    }
  }

  HRESULT Members(ITypeInfo& Info, const TYPEATTR& Type, const char* End) {
    for (UINT i = 0; i < Type.cFuncs; ++i) {
      FUNCDESC* desc = nullptr;
      if (const HRESULT result = Info.GetFuncDesc(i, &desc); FAILED(result)) return result;
      const HRESULT result = Member(Info, *desc);
      Info.ReleaseFuncDesc(desc);
      if (FAILED(result)) return result;
    }
    FOut << "    " << End;
    return S_OK;
  }

  HRESULT Member(ITypeInfo& Info, const FUNCDESC& Desc) {
    TBstr names[16];
    BSTR raw[16] = {};
    UINT named = 0;
    if (const HRESULT result = Info.GetNames(Desc.memid, raw, 16, &named); FAILED(result))
      return result;
    for (UINT i = 0; i < named; ++i) names[i] = TBstr::Adopt(raw[i]);
    TBstr help;
    Info.GetDocumentation(Desc.memid, nullptr, help.Receive(), nullptr, nullptr);
    FOut << "        [id(" << Desc.memid << ")";
    if (Desc.invkind == INVOKE_PROPERTYGET) FOut << ", propget";
    if (Desc.invkind == INVOKE_PROPERTYPUT) FOut << ", propput";
    if ((Desc.wFuncFlags & FUNCFLAG_FHIDDEN) != 0) FOut << ", hidden";
    if (help.Get() != nullptr) FOut << ", helpstring(" << Quoted(help) << ")";
    FOut << "] " << TypeName(Info, Desc.elemdescFunc.tdesc) << " "
         << (named > 0 ? names[0].Utf8() : std::string("?")) << "(";
    UINT nextName = 1;
    for (SHORT p = 0; p < Desc.cParams; ++p) {
      const ELEMDESC& param = Desc.lprgelemdescParam[p];
      const USHORT flags = param.u.paramdesc.wParamFlags;
      std::vector<std::string> marks;
      if ((flags & PARAMFLAG_FIN) != 0) marks.push_back("in");
      if ((flags & PARAMFLAG_FOUT) != 0) marks.push_back("out");
      if ((flags & PARAMFLAG_FRETVAL) != 0) marks.push_back("retval");
      if (p > 0) FOut << ", ";
      FOut << "[";
      for (size_t m = 0; m < marks.size(); ++m) FOut << (m > 0 ? ", " : "") << marks[m];
      FOut << "] " << TypeName(Info, param.tdesc) << " ";
      // A setter's value has no name of its own: the names listed are its getter's.
      if (Desc.invkind != INVOKE_PROPERTYPUT && nextName < named)
        FOut << names[nextName++].Utf8();
      else
        FOut << "Value";
    }
    FOut << ");\n";
    return S_OK;
  }

  std::string TypeName(ITypeInfo& Info, const TYPEDESC& Desc) {
    switch (Desc.vt) {
      case VT_PTR:
        return TypeName(Info, *Desc.u.lptdesc) + "*";
      case VT_USERDEFINED: {
        TComPtr<ITypeInfo> referenced;
        if (FAILED(Info.GetRefTypeInfo(Desc.u.hreftype, referenced.Receive()))) return "?";
        TBstr name;
        referenced->GetDocumentation(MEMBERID_NIL, name.Receive(), nullptr, nullptr, nullptr);
        return name.Utf8();
      }
      case VT_BOOL:
        return "VARIANT_BOOL";
      case VT_I2:
        return "short";
      case VT_I4:
        return "long";
      case VT_I8:
        return "int64";
      case VT_UI4:
        return "unsigned long";
      case VT_BSTR:
        return "BSTR";
      case VT_DISPATCH:
        return "IDispatch*";
      case VT_UNKNOWN:
        return "IUnknown*";
      case VT_VARIANT:
        return "VARIANT";
      case VT_HRESULT:
        return "HRESULT";
      case VT_VOID:
        return "void";
      default:
        return "VARTYPE(" + std::to_string(Desc.vt) + ")";
    }
  }

  HRESULT Values(ITypeInfo& Info, const TYPEATTR& Type, const std::string& Name) {
    FOut << "    typedef enum " << Name << " {\n";
    for (UINT i = 0; i < Type.cVars; ++i) {
      VARDESC* desc = nullptr;
      if (const HRESULT result = Info.GetVarDesc(i, &desc); FAILED(result)) return result;
      const MEMBERID id = desc->memid;
      const int32_t value = desc->u.lpvarValue != nullptr ? desc->u.lpvarValue->u.lVal : 0;
      Info.ReleaseVarDesc(desc);
      TBstr name, help;
      Info.GetDocumentation(id, name.Receive(), help.Receive(), nullptr, nullptr);
      FOut << "        ";
      if (help.Get() != nullptr) FOut << "[helpstring(" << Quoted(help) << ")] ";
      FOut << name.Utf8() << " = " << value << (i + 1 < Type.cVars ? ",\n" : "\n");
    }
    FOut << "    } " << Name << ";\n";
    return S_OK;
  }

  HRESULT Implemented(ITypeInfo& Info, const TYPEATTR& Type, const std::string& Name) {
    FOut << "    coclass " << Name << " {\n";
    for (UINT i = 0; i < Type.cImplTypes; ++i) {
      HREFTYPE reference = 0;
      int32_t flags = 0;
      if (const HRESULT result = Info.GetRefTypeOfImplType(i, &reference); FAILED(result))
        return result;
      Info.GetImplTypeFlags(i, &flags);
      TComPtr<ITypeInfo> implemented;
      if (const HRESULT result = Info.GetRefTypeInfo(reference, implemented.Receive());
          FAILED(result))
        return result;
      TYPEATTR* attr = nullptr;
      if (const HRESULT result = implemented->GetTypeAttr(&attr); FAILED(result)) return result;
      const bool dispatch = attr->typekind == TKIND_DISPATCH;
      implemented->ReleaseTypeAttr(attr);
      TBstr name;
      implemented->GetDocumentation(MEMBERID_NIL, name.Receive(), nullptr, nullptr, nullptr);
      std::vector<std::string> marks;
      if ((flags & IMPLTYPEFLAG_FDEFAULT) != 0) marks.push_back("default");
      if ((flags & IMPLTYPEFLAG_FSOURCE) != 0) marks.push_back("source");
      FOut << "        [";
      for (size_t m = 0; m < marks.size(); ++m) FOut << (m > 0 ? ", " : "") << marks[m];
      FOut << "] " << (dispatch ? "dispinterface " : "interface ") << name.Utf8() << ";\n";
    }
    FOut << "    };\n";
    return S_OK;
  }

  std::ostream& FOut;
};

}  // namespace

HRESULT WriteIdl(ITypeLib& Library, std::ostream& Out) {
  return TIdlPrinter(Out).Library(Library);
}

}  // namespace kyv::com
