#pragma once

#include <memory>
#include <string>
#include <thread>

#include "source/live/WakeUpDescriptor.h"

namespace kyv {

// Looks a host name up (IPv4) on a helper thread, because the system's lookup blocks for as
// long as a dead name server lets it and cannot be cancelled. The owner waits on its wake-up
// descriptor and may give up at any time: the helper then finishes on its own, and the state
// that it writes lives as long as either side holds it.
//
// Threads: one owner thread makes, asks and destroys the object and owns Wake; the helper
// signals Wake once when the lookup ends, unless the owner has given up by then. The shared
// state's fields are guarded by its lock.
class THostResolver {
 public:
  // Starts looking HostName up. Raises std::system_error when no thread can be started.
  THostResolver(const std::string& HostName, TWakeUpDescriptor& Wake);
  // Gives the lookup up when it is still running; the helper is then left to end by itself.
  ~THostResolver();
  THostResolver(const THostResolver&) = delete;
  THostResolver& operator=(const THostResolver&) = delete;

  // True once the lookup has ended.
  bool Done() const;
  // After Done: the address in dotted form. Raises EKyvError naming the host when the lookup
  // failed.
  std::string Result() const;

  // The lookup itself, blocking the calling thread; raises EKyvError as Result does.
  static std::string ResolveNow(const std::string& HostName);

 private:
  struct TState;
  std::shared_ptr<TState> FState;
  std::thread FHelper;
};

}  // namespace kyv
