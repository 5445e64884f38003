#include "source/NetworkStream.h"

#include <exception>

#include "log/Log.h"
#include "source/InternetStream.h"

namespace kyv {

std::unique_ptr<TStream> OpenNetworkStream(const std::string& Address) {
  return std::make_unique<TInternetStream>(Address);
}

void AbortNetworkStream(TStream& Stream) noexcept {
  if (auto* web = dynamic_cast<TInternetStream*>(&Stream)) web->Abort();
}

std::string NetworkFailure(const TStream& Stream) {
  const auto* web = dynamic_cast<const TInternetStream*>(&Stream);
  return web != nullptr ? web->LastFailure() : std::string();
}

void CloseNetworkHandles(TStream& Stream) noexcept {
  auto* web = dynamic_cast<TInternetStream*>(&Stream);
  if (web == nullptr) return;
  try {
    web->CloseHandles();
  } catch (const std::exception& e) {
    GlobalLog().AddLine(e.what());
  }
}

}  // namespace kyv
