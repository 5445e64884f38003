#include "source/live/HostResolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <exception>
#include <mutex>

#include "platform/Errors.h"

namespace kyv {

struct THostResolver::TState {
  std::mutex Lock;
  TWakeUpDescriptor* Wake = nullptr;  // guarded by Lock; null once the owner has given up
  bool Done = false;                  // guarded by Lock
  std::string Address;                // guarded by Lock
  std::string Error;                  // guarded by Lock; empty when the lookup succeeded
};

THostResolver::THostResolver(const std::string& HostName, TWakeUpDescriptor& Wake)
    : FState(std::make_shared<TState>()) {
  FState->Wake = &Wake;
  // The helper holds the state itself: it may outlive this object.
  FHelper = std::thread([State = FState, HostName] {
    std::string address;
    std::string error;
    try {
      address = ResolveNow(HostName);
    } catch (const std::exception& e) {
      error = e.what();
      if (error.empty()) error = "Cannot resolve \"" + HostName + "\"";
    }
    std::lock_guard lock(State->Lock);
    State->Address = std::move(address);
    State->Error = std::move(error);
    State->Done = true;
    if (State->Wake != nullptr) State->Wake->Signal();
  });
}

THostResolver::~THostResolver() {
  bool done = false;
  {
    std::lock_guard lock(FState->Lock);
    FState->Wake = nullptr;
    done = FState->Done;
  }
  // A finished helper is only returning; one still in the lookup may take minutes.
  if (done)
    FHelper.join();
  else
    FHelper.detach();
}

bool THostResolver::Done() const {
  std::lock_guard lock(FState->Lock);
  return FState->Done;
}

std::string THostResolver::Result() const {
  std::lock_guard lock(FState->Lock);
  KYV_ASSERT(FState->Done);
  if (!FState->Error.empty()) throw EKyvError(FState->Error);
  return FState->Address;
}

std::string THostResolver::ResolveNow(const std::string& HostName) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(HostName.c_str(), nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    if (found != nullptr) ::freeaddrinfo(found);
    throw EKyvError("Cannot resolve \"" + HostName + "\": " + ::gai_strerror(result));
  }
  char text[INET_ADDRSTRLEN] = {};
  const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  ::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
  ::freeaddrinfo(found);
  return text;
}

}  // namespace kyv
