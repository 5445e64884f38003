#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kyv::test {

// A program run by a test, ended (SIGTERM, then SIGKILL) and reaped by the destructor. Its
// standard output and error go to a file.
class TChildProcess {
 public:
  // Args[0] is the program: a path, or a name looked up in PATH. Started() tells whether it
  // could be started.
  TChildProcess(const std::vector<std::string>& Args, const std::filesystem::path& OutputFile);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const { return FPid > 0; }
  // False once the program has ended (it is reaped then).
  bool Running();
  // Asks the program to end (SIGTERM), and kills it when it has not within two seconds.
  void Stop();
  // Sends Signal and waits up to Timeout for the program to end: its exit status, -1 when a
  // signal ended it or it is still running.
  int SignalAndWait(int Signal, std::chrono::milliseconds Timeout);

 private:
  pid_t FPid = -1;
};

// A port on 127.0.0.1 that nothing listens on at the moment of the call.
uint16_t FreeLoopbackPort();

// Tries to connect to 127.0.0.1:Port until it works (true), Child ends or Timeout passes.
bool WaitForLoopbackPort(uint16_t Port, TChildProcess& Child, std::chrono::milliseconds Timeout);

// What a server started on loopback needs: Configure writes its configuration for a port and
// returns its command line; Diagnose adds its own logs to a failure's reason.
struct TLoopbackServerSetup {
  std::function<std::vector<std::string>(uint16_t Port)> Configure;
  std::function<std::string()> Diagnose;
  std::filesystem::path OutputFile;
  std::string Name;
};

// Starts a server on a free port of 127.0.0.1 and waits until it listens. Another program may
// take the port between the look-up and the server's bind, so it tries three times. Null, with
// Reason saying why, when the server does not start; Port is the port it listens on.
std::unique_ptr<TChildProcess> StartLoopbackServer(const TLoopbackServerSetup& Setup,
                                                   uint16_t& Port, std::string& Reason);

// Waits until Child's output (the file Output) says on which port it listens: the first match of
// Pattern, whose one group is the port. Lets a child bind port 0 itself, so no other program can
// take a port between a test's look-up and the child's bind. 0 when Child ends or Timeout passes.
uint16_t WaitForReportedPort(TChildProcess& Child, const std::filesystem::path& Output,
                             const std::string& Pattern, std::chrono::milliseconds Timeout);

// The regular expression of kyvstation's "serving ..." line, for WaitForReportedPort.
inline constexpr char kStationServingPattern[] = R"(kyvstation: serving .* on [0-9.]+:([0-9]+))";

// The file's text, "" when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& Path);

}  // namespace kyv::test
