#include "ControlLink.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "com/Bstr.h"

namespace kyv::player {

namespace {

constexpr char16_t kProgId[] = u"KyvPlayerTLB.KyvPlayerCtrl";
constexpr char kLibraryName[] = "libkyvplayer.so";

// The failures that mean "not registered here (any more)": registering fixes them.
bool NeedsRegistration(HRESULT Result) {
  return Result == CO_E_CLASSSTRING || Result == REGDB_E_CLASSNOTREG ||
         Result == CO_E_DLLNOTFOUND || Result == REGDB_E_READREGDB;
}

HRESULT CreateControl(com::TComPtr<IKyvPlayer>& Player) {
  CLSID clsid;
  HRESULT result = CLSIDFromProgID(kProgId, &clsid);
  if (FAILED(result)) return result;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IKyvPlayer,
                          reinterpret_cast<void**>(Player.Receive()));
}

std::string HexResult(HRESULT Result) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(Result));
  return hex;
}

struct TLibraryCloser {
  void operator()(void* Handle) const { dlclose(Handle); }
};

// Registers the control library at Path through its own entry point.
void RegisterLibrary(const std::filesystem::path& Path) {
  std::unique_ptr<void, TLibraryCloser> library(dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!library) throw EControlError("cannot load " + Path.string() + ": " + dlerror());
  const auto entry =
      reinterpret_cast<LPFNREGISTERSERVER>(dlsym(library.get(), "DllRegisterServer"));
  if (entry == nullptr) throw EControlError(Path.string() + " is not the control library");
  const HRESULT result = entry();
  if (FAILED(result))
    throw EControlError("registering " + Path.string() + " failed (HRESULT " + HexResult(result) +
                        ")");
}

std::string ErrorDescription() {
  com::TComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return {};
  com::TBstr text;
  if (FAILED(info->GetDescription(text.Receive()))) return {};
  return text.Utf8();
}

}  // namespace

TControlLink::TApartment::TApartment() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    throw EControlError("the component runtime cannot start on this thread");
}

TControlLink::TApartment::~TApartment() {
  CoUninitialize();
}

TControlLink::TControlLink(std::ostream& Notes, std::vector<std::filesystem::path> Candidates) {
  HRESULT result = CreateControl(FPlayer);
  if (NeedsRegistration(result)) {
    std::error_code error;
    const auto found = std::find_if(Candidates.begin(), Candidates.end(), [&](const auto& Path) {
      return std::filesystem::is_regular_file(Path, error);
    });
    if (found == Candidates.end())
      throw EControlError(
          "the player control is not registered and no control library was found beside the "
          "program or in its installation (" +
          std::string(kLibraryName) + ")");
    RegisterLibrary(*found);
    Notes << "kyvplayer: registered the player control " << found->string() << '\n';
    result = CreateControl(FPlayer);
  }
  if (FAILED(result) || !FPlayer) {
    const std::string why = ErrorDescription();
    throw EControlError("cannot create the player control (HRESULT " + HexResult(result) + ")" +
                        (why.empty() ? "" : ": " + why));
  }
  FPlayer->QueryInterface(IID_IKyvPlayerHost, reinterpret_cast<void**>(FHost.Receive()));
  com::TComPtr<IConnectionPointContainer> container;
  if (SUCCEEDED(FPlayer->QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(container.Receive()))))
    container->FindConnectionPoint(DIID_IKyvPlayerEvents, FPoint.Receive());
}

TControlLink::~TControlLink() {
  Unadvise();
  if (FPlayer) FPlayer->Close();
}

std::vector<std::filesystem::path> TControlLink::LibraryCandidates() {
  std::vector<std::filesystem::path> candidates;
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path folder = program.parent_path();
    candidates.push_back(folder / kLibraryName);
    candidates.push_back((folder / ".." / KYV_INSTALL_LIBDIR / kLibraryName).lexically_normal());
    candidates.push_back((folder / ".." / "lib" / kLibraryName).lexically_normal());
  }
  candidates.emplace_back(KYVPLAYER_BUILD_PATH);
  return candidates;
}

void TControlLink::Check(HRESULT Result, const char* What) {
  if (SUCCEEDED(Result)) return;
  const std::string why = ErrorDescription();
  throw EControlError(std::string(What) + (why.empty() ? " failed" : ": " + why));
}

void TControlLink::Advise(IDispatch* Sink) {
  Unadvise();
  if (!FPoint) throw EControlError("the control offers no events");
  Check(FPoint->Advise(Sink, &FCookie), "connecting to the control's events");
}

void TControlLink::Unadvise() {
  if (FPoint && FCookie != 0) FPoint->Unadvise(FCookie);
  FCookie = 0;
}

void* TControlLink::Widget() const {
  void* widget = nullptr;
  if (!FHost || FAILED(FHost->GetWidget(&widget))) return nullptr;
  return widget;
}

void TControlLink::Open(const std::string& Address) {
  const com::TBstr text = com::TBstr::FromUtf8(Address);
  Check(FPlayer->Open(text.Get()), ("cannot open " + Address).c_str());
}

void TControlLink::Close() {
  Check(FPlayer->Close(), "Close");
}
void TControlLink::Play() {
  Check(FPlayer->Play(), "Play");
}
void TControlLink::Pause() {
  Check(FPlayer->Pause(), "Pause");
}
void TControlLink::Stop() {
  Check(FPlayer->Stop(), "Stop");
}
void TControlLink::FastForward() {
  Check(FPlayer->FastForward(), "FastForward");
}

TStatus TControlLink::Status() const {
  TStatus value = vpClosed;
  Check(FPlayer->get_Status(&value), "Status");
  return value;
}

int32_t TControlLink::Position() const {
  int32_t value = 0;
  Check(FPlayer->get_CurrentPosition(&value), "CurrentPosition");
  return value;
}

void TControlLink::SetPosition(int32_t Milliseconds) {
  Check(FPlayer->put_CurrentPosition(Milliseconds), "CurrentPosition");
}

int32_t TControlLink::Duration() const {
  int32_t value = 0;
  Check(FPlayer->get_Duration(&value), "Duration");
  return value;
}

int32_t TControlLink::MediaTime() const {
  int32_t value = 0;
  Check(FPlayer->get_MediaTime(&value), "MediaTime");
  return value;
}

int32_t TControlLink::Width() const {
  int32_t value = 0;
  Check(FPlayer->get_KyvWidth(&value), "KyvWidth");
  return value;
}

int32_t TControlLink::Height() const {
  int32_t value = 0;
  Check(FPlayer->get_KyvHeight(&value), "KyvHeight");
  return value;
}

std::string TControlLink::Url() const {
  com::TBstr text;
  Check(FPlayer->get_URL(text.Receive()), "URL");
  return text.Utf8();
}

std::string TControlLink::StationTitle() const {
  com::TBstr text;
  Check(FPlayer->get_Title(text.Receive()), "Title");
  return text.Utf8();
}

TDisplayMode TControlLink::DisplayMode() const {
  TDisplayMode value = dmAdaptive;
  Check(FPlayer->get_DisplayMode(&value), "DisplayMode");
  return value;
}

void TControlLink::SetDisplayMode(TDisplayMode Mode) {
  Check(FPlayer->put_DisplayMode(Mode), "DisplayMode");
}

void TControlLink::SetAutoStart(bool Value) {
  Check(FPlayer->put_AutoStart(Value ? VARIANT_TRUE : VARIANT_FALSE), "AutoStart");
}

bool TControlLink::AutoConnect() const {
  VARIANT_BOOL value = VARIANT_FALSE;
  Check(FPlayer->get_AutoConnect(&value), "AutoConnect");
  return value != VARIANT_FALSE;
}

TSourceFailure TControlLink::LastSourceFailure() const {
  TSourceFailure failure;
  if (!FHost) return failure;
  com::TBstr text, cause;
  Check(FHost->GetLastSourceError(&failure.Code, text.Receive(), cause.Receive()),
        "GetLastSourceError");
  failure.Text = text.Utf8();
  failure.Cause = cause.Utf8();
  return failure;
}

}  // namespace kyv::player
