#pragma once

#include <sys/uio.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "StationSetup.h"
#include "platform/Thread.h"
#include "source/live/StationMessageFramer.h"

namespace kyv::station {

// One connected player, served on a thread of its own: the login and its reply, the wait for
// "Start", then the configured texts and the broadcast's frames, each sent when it is on air,
// starting at a key frame. Texts from the player are read all along: "REQUEST" texts go to the
// console, "NOOP" is taken silently. The session ends when the player goes, breaks the order,
// stops taking data for kSendTimeout, or the station stops.
//
// Threads: the constructor and destructor run on the station's thread; everything else on the
// session's. The socket is the session's alone. Made with TThread::Create; the TThreadPtr joins
// the thread (which the station's stop descriptor ends) before the object goes.
class TPlayerSession : public TThread {
 public:
  using TClock = std::chrono::steady_clock;

  static constexpr uint32_t kMaxIncomingLength = 1u << 20;
  static constexpr auto kLoginTimeout = std::chrono::seconds(10);
  static constexpr auto kStartTimeout = std::chrono::seconds(30);
  static constexpr auto kDenyLinger = std::chrono::seconds(1);
  static constexpr auto kSendTimeout = std::chrono::seconds(10);

  // Takes over Socket (connected, non-blocking) and sets it to -1; should the construction fail
  // before, Socket is still the caller's. Peer names the player in notes.
  TPlayerSession(int& Socket, std::string Peer, const TStationSetup& Setup);
  ~TPlayerSession() override;

 protected:
  void Execute() override;

 private:
  // One message on its way out: a prefix (head, and a frame's rewritten header) and a body
  // that lies in the recording.
  struct TOutgoing {
    std::vector<uint8_t> Prefix;
    const uint8_t* Body = nullptr;
    size_t BodySize = 0;
    size_t Done = 0;
    size_t Size() const noexcept { return Prefix.size() + BodySize; }
  };

  void Serve();
  // Waits until the socket is ready for Events or Deadline passes (0 then). Raises TStopped
  // when the station stops.
  short Wait(short Events, TClock::time_point Deadline);
  // Raises TStopped when the station stops; does not wait.
  void CheckStop() const;
  // Receives what is waiting, at most about 64 KiB; false once the player has closed the
  // connection. Raises TStopped when the station stops.
  bool ReceiveAvailable();
  // The next text the player sends, waiting until Deadline. Raises EKyvError naming What when
  // the player closes or the time passes (also while the player keeps sending other texts),
  // TStopped when the station stops.
  std::string NextText(TClock::time_point Deadline, const char* What);
  // Handles every whole message held.
  void HandleIncoming();
  void HandleText(std::string_view Text);
  // Sends as much of Message as the socket takes now; true when all of it has gone.
  bool SendSome(TOutgoing& Message);
  void SendWhole(TOutgoing Message);
  static TOutgoing TextMessage(TStationMessageType Type, std::string_view Text);
  TOutgoing FrameMessage(TBroadcastPosition Position) const;
  void Linger();
  void Stream();

  const std::string FPeer;
  const TStationSetup& FSetup;
  TStationMessageFramer FFramer{kMaxIncomingLength, 4096};
  bool FStarted = false;
  int FSocket;  // last: taken over only once nothing else in the construction can fail
};

}  // namespace kyv::station
