#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kyv::test {

// How the scripted server answers the next requests.
enum class THttpBehaviour {
  Ranged,        // 206 with the asked range (200 with everything when no range is asked)
  IgnoreRange,   // 200 with the whole content, whatever the range
  BreakAfter,    // 206 headers for the whole range, then BreakBytes of it, then the connection ends
  Stall,         // 206 headers, then nothing until ReleaseStall or the destructor
  NotFound,      // 404 with a short body
  OverSend,      // 206 headers and the range followed by 4 KiB more than asked
  ShiftedRange,  // 206 with the range that starts one byte after the asked one
  CloseAfterReply,  // as Ranged, then the connection ends, as a server whose keep-alive ran out
};

// A small HTTP/1.1 server on 127.0.0.1 (port chosen by the system) serving Content with the
// behaviour a test sets, recording each request's text (request line and headers). One thread
// accepts, one thread serves each connection; connections are kept alive between requests.
// Members may be called from any thread.
class TScriptedHttpServer {
 public:
  explicit TScriptedHttpServer(std::vector<uint8_t> Content);
  ~TScriptedHttpServer();
  TScriptedHttpServer(const TScriptedHttpServer&) = delete;
  TScriptedHttpServer& operator=(const TScriptedHttpServer&) = delete;

  bool Started() const { return FListener >= 0; }
  uint16_t Port() const { return FPort; }
  std::string Url(const std::string& Path) const;

  void SetBehaviour(THttpBehaviour Behaviour, size_t BreakBytes = 0);
  // The text of every request received so far, up to and including the empty line.
  std::vector<std::string> Requests() const;
  size_t Connections() const;
  // Waits until a stalled reply has sent its headers.
  bool WaitUntilStalled(std::chrono::milliseconds Timeout);
  // Ends every stalled reply by closing its connection.
  void ReleaseStall();

 private:
  void AcceptLoop();
  void Serve(int Socket);
  // Waits until Socket can be read or the server stops; false when it stops.
  bool WaitReadable(int Socket) const;

  const std::vector<uint8_t> FContent;
  int FListener = -1;
  int FWake[2] = {-1, -1};  // written once by the destructor; every wait polls its read end
  uint16_t FPort = 0;
  std::thread FAcceptThread;

  mutable std::mutex FLock;  // guards the fields below
  std::condition_variable FChanged;
  THttpBehaviour FBehaviour = THttpBehaviour::Ranged;
  size_t FBreakBytes = 0;
  std::vector<std::string> FRequests;
  std::vector<std::thread> FConnectionThreads;
  size_t FStalled = 0;
  bool FStallReleased = false;
  bool FStopping = false;
};

}  // namespace kyv::test
