#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kyv::test {

// A private network namespace for multicast tests: made with `ip netns add`, the loopback up
// with multicast on and a route for 224.0.0.0/4 through it, and removed by the destructor. No
// datagram sent inside it reaches the machine's real interfaces.
class TNetNamespace {
 public:
  TNetNamespace();
  ~TNetNamespace();
  TNetNamespace(const TNetNamespace&) = delete;
  TNetNamespace& operator=(const TNetNamespace&) = delete;

  // False, with the reason, where namespaces are not permitted (not root, no `ip`, a sandbox).
  bool Available() const { return FReason.empty(); }
  const std::string& Reason() const { return FReason; }
  const std::string& Name() const { return FName; }

  // Runs Body on a new thread that has entered the namespace, and waits for it. Sockets it makes
  // and threads it starts live in the namespace. False when the thread could not enter it.
  bool Run(const std::function<void()>& Body);

  // Runs `ip -n NAME Args...`; true when it succeeded.
  bool Ip(const std::vector<std::string>& Args);

  // The start of a command line that runs a program inside the namespace: the full path of
  // `ip`, "netns", "exec", the name.
  std::vector<std::string> ExecPrefix() const;

 private:
  std::string FName;
  std::string FReason;
  bool FMade = false;
};

// Runs a program with its output discarded; true when it ended with status 0.
bool RunQuietly(const std::vector<std::string>& Args);

}  // namespace kyv::test
