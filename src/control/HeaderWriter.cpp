#include "control/HeaderWriter.h"

#include <cstdio>
#include <sstream>
#include <string_view>

#include "control/KyvPlayerTypeLib.h"

namespace kyv {

namespace {

using com::TFuncData;
using com::TParamData;
using com::TTypeData;
using com::TTypeRef;

std::string GuidArguments(const GUID& Guid) {
  char text[96];
  std::snprintf(text, sizeof text,
                "0x%08X, 0x%04X, 0x%04X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, "
                "0x%02X",
                static_cast<unsigned>(Guid.Data1), Guid.Data2, Guid.Data3, Guid.Data4[0],
                Guid.Data4[1], Guid.Data4[2], Guid.Data4[3], Guid.Data4[4], Guid.Data4[5],
                Guid.Data4[6], Guid.Data4[7]);
  return text;
}

// The C spelling of a type: fixed widths where the type library says long or short.
std::string CType(const TTypeRef& Type) {
  const std::string_view name = Type.Name;
  std::string text;
  if (name == "long")
    text = "int32_t";
  else if (name == "short")
    text = "int16_t";
  else if (name == "int64")
    text = "int64_t";
  else
    text = std::string(name);
  if (Type.Pointer) text += "*";
  return text;
}

// get_Name / put_Name / Name, as compiled clients call the slot.
std::string SlotName(const TFuncData& Func) {
  if (Func.Kind == INVOKE_PROPERTYGET) return std::string("get_") + Func.Name;
  if (Func.Kind == INVOKE_PROPERTYPUT) return std::string("put_") + Func.Name;
  return Func.Name;
}

std::string Parameters(const TFuncData& Func) {
  std::string text;
  for (const TParamData& param : Func.Params) {
    if (!text.empty()) text += ", ";
    text += CType(param.Type);
    text += (param.Flags & PARAMFLAG_FOUT) != 0 ? "* " : " ";
    text += param.Name != nullptr ? param.Name : "Value";
  }
  return text;
}

std::string Upper(std::string_view Text) {
  std::string out(Text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

void WriteEnum(std::ostringstream& Out, const TTypeData& Type) {
  Out << "typedef enum " << Type.Name << " {\n";
  for (size_t i = 0; i < Type.Values.size(); ++i)
    Out << "  " << Type.Values[i].Name << " = " << Type.Values[i].Value
        << (i + 1 < Type.Values.size() ? ",\n" : "\n");
  Out << "} " << Type.Name << ";\n";
  Out << "KYV_STATIC_ASSERT(sizeof(" << Type.Name << ") == 4, \"" << Type.Name
      << " is 32 bits\");\n\n";
}

void WriteDispids(std::ostringstream& Out, const TTypeData& Type, std::string_view Prefix) {
  std::string last;
  for (const TFuncData& func : Type.Funcs) {
    if (last == func.Name) continue;  // a property's getter and setter share their number
    last = func.Name;
    Out << "#define DISPID_" << Prefix << "_" << Upper(func.Name) << " ((DISPID)" << func.Id
        << ")\n";
  }
  Out << "\n";
}

}  // namespace

std::string WriteKyvPlayerHeader(const com::TLibraryData& Library) {
  const TTypeData& player = Library.Types[kTypeIKyvPlayer];
  const TTypeData& events = Library.Types[kTypeIKyvPlayerEvents];
  const TTypeData& control = Library.Types[kTypeKyvPlayerCtrl];
  std::ostringstream out;
  out << "/* The KyvPlayer control's Automation contract, for hosts in C and C++. Written from "
         "the\n"
         "   control's type library data (a test keeps the two equal): do not edit by hand.\n"
         "   Create the control with CoCreateInstance(&CLSID_KyvPlayerCtrl, ...) or by the "
         "program\n"
         "   identifier KYVPLAYER_PROGID, call IKyvPlayer by slot or through IDispatch, and "
         "connect\n"
         "   to DIID_IKyvPlayerEvents through IConnectionPointContainer. */\n"
         "/* clang-format off */\n"
         "#ifndef KYV_KYVPLAYER_H\n"
         "#define KYV_KYVPLAYER_H\n\n"
         "#include \"kyvcom.h\"\n\n"
         "KYV_EXTERN_C_BEGIN\n\n";
  out << "KYV_DEFINE_GUID(LIBID_" << Library.Name << ", " << GuidArguments(Library.Guid) << ");\n";
  out << "KYV_DEFINE_GUID(IID_" << player.Name << ", " << GuidArguments(player.Guid) << ");\n";
  out << "KYV_DEFINE_GUID(DIID_" << events.Name << ", " << GuidArguments(events.Guid) << ");\n";
  out << "KYV_DEFINE_GUID(CLSID_" << control.Name << ", " << GuidArguments(control.Guid) << ");\n";
  out << "#define KYVPLAYER_PROGID \"" << Library.Name << "." << control.Name << "\"\n\n";
  out << "/* Types of the standard OLE library. */\n"
         "typedef uint32_t OLE_COLOR;\n"
         "typedef struct IDispatch IFontDisp;\n\n";
  for (const TTypeData& type : Library.Types)
    if (type.Kind == TKIND_ENUM) WriteEnum(out, type);
  WriteDispids(out, player, "KYVPLAYER");
  WriteDispids(out, events, "KYVPLAYEREVENTS");

  out << "#ifdef __cplusplus\n}  // extern \"C\": the class below is C++ only\n\n";
  out << "struct " << player.Name << " : IDispatch {\n public:\n";
  for (const TFuncData& func : player.Funcs)
    out << "  virtual HRESULT " << SlotName(func) << "(" << Parameters(func) << ") = 0;\n";
  out << "\n protected:\n  ~" << player.Name << "() = default;\n};\n\n";
  out << "extern \"C\" {\n#else\n\n";
  out << "struct " << player.Name << ";\n";
  out << "typedef struct " << player.Name << "Vtbl {\n  KYV_IDISPATCH_MEMBERS(struct "
      << player.Name << ");\n";
  for (const TFuncData& func : player.Funcs) {
    const std::string params = Parameters(func);
    out << "  HRESULT (*" << SlotName(func) << ")(struct " << player.Name << "* This"
        << (params.empty() ? "" : ", ") << params << ");\n";
  }
  out << "} " << player.Name << "Vtbl;\n";
  out << "typedef struct " << player.Name << " {\n  const " << player.Name << "Vtbl* lpVtbl;\n} "
      << player.Name << ";\n\n";
  const TFuncData& first = player.Funcs.front();
  const TFuncData& last = player.Funcs.back();
  out << "KYV_STATIC_ASSERT(offsetof(" << player.Name << "Vtbl, " << SlotName(first)
      << ") == " << com::kFirstDualSlot << " * sizeof(void*), \"first own slot\");\n";
  out << "KYV_STATIC_ASSERT(offsetof(" << player.Name << "Vtbl, " << SlotName(last)
      << ") == " << com::kFirstDualSlot + player.Funcs.size() - 1
      << " * sizeof(void*), \"last slot\");\n\n";
  out << "#endif /* __cplusplus */\n\nKYV_EXTERN_C_END\n\n#endif /* KYV_KYVPLAYER_H */\n";
  return out.str();
}

}  // namespace kyv
