#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Event.h"
#include "platform/Thread.h"
#include "source/multicast/LossTextLimiter.h"

namespace kyv {

class TMessageAssembler;
struct TAssembleResult;

// Receives the datagrams of one IPv4 multicast group on one interface, puts the packets of each
// message back together (TMessageAssembler) and hands every complete message to DoReceive, on
// its own thread. Losses go to the debugger output and never stop the loop.
//
// The owner sets the group, port and interface, then StartReceiving runs a receive loop with a
// fresh socket; StopReceiving ends it, leaving the group and closing the socket. Both block the
// owner until this receiver has taken the command (or its thread has ended), through an event of
// its own, so several receivers never release each other's callers. A start while the loop runs
// restarts it with the current settings.
//
// The socket is bound to the group address, not to the interface's: on this platform a socket
// bound to a unicast address receives no multicast. It joins the group on the interface and
// takes only what arrives there, so one receiver per interface sees only its interface's copy.
// A failed socket set-up is written to the debugger output and the log; the receiver then
// delivers nothing and stays idle until the next start retries.
//
// The thread runs at normal priority: a real-time one needs privileges that a player lacks. The
// socket's enlarged buffer and the client's pool absorb bursts instead.
//
// Threads: StartReceiving, StopReceiving and the setters are called by one owner thread at a time;
// DoReceive and DoLoss run on the receiver thread; the getters and counters may be called from any
// thread. The receive loop waits on its socket and on a wake-up descriptor that every posted
// request signals, so a command is served at once; the socket's 1-second receive time-out stays as
// a second bound. Made with TThread::Create; its TThreadPtr stops and joins it before it goes.
class TReceiveThread : public TThread {
 public:
  static constexpr char kDefaultGroup[] = "238.0.0.1";
  static constexpr uint16_t kDefaultPort = 6000;
  static constexpr int kReceiveTimeoutMs = 1000;
  // Socket receive buffer asked for, so that bursts of a fast stream wait in the kernel while
  // the receiver thread copies; the system may grant less.
  static constexpr int kSocketBufferSize = 4 << 20;
  // The owner waits for a command in slices of this length, looking between them whether the
  // thread has ended.
  static constexpr std::chrono::milliseconds kCommandWaitSlice{100};

  TReceiveThread();
  ~TReceiveThread() override;

  // Owner thread, before StartReceiving. The addresses are dotted IPv4; an empty interface means
  // the one the system chooses.
  void SetGroupAddress(std::string Address);
  void SetPort(uint16_t Port);
  void SetInterfaceAddress(std::string Address);
  std::string GroupAddress() const;
  uint16_t Port() const;
  std::string InterfaceAddress() const;

  // Owner thread. Return once the receiver has taken the command; without waiting when its
  // thread has ended. Not named Start and Stop, which would hide the start that TThread::Create
  // gives every thread.
  void StartReceiving();
  void StopReceiving();

  // Any thread: the loop has been started and not stopped (nor failed to set up).
  bool Running() const noexcept { return FRunning.load(std::memory_order_acquire); }
  // Any thread: the failure of the last socket set-up, "" when the last one succeeded.
  std::string SetupError() const;
  // Any thread: counts since construction.
  uint64_t MessagesReceived() const noexcept { return FMessagesReceived.load(); }
  uint64_t MessagesAbandoned() const noexcept { return FMessagesAbandoned.load(); }
  uint64_t PacketsDropped() const noexcept { return FPacketsDropped.load(); }
  uint64_t DatagramsReceived() const noexcept { return FDatagramsReceived.load(); }

 protected:
  // Receiver thread: one complete message; Data is valid only during the call. Empty here.
  virtual void DoReceive(const uint8_t* Data, size_t Size);
  // Receiver thread: one loss text; goes to the debugger output here, at most
  // TLossTextLimiter::kTextsPerWindow a second, with a count of the ones held back.
  virtual void DoLoss(std::string_view Text);

  void Execute() override;

 private:
  // Receiver thread: returns when a request waits in the queue. Raises EKyvError when the
  // socket cannot be set up.
  void ReceiveLoop();
  void OpenSocket();
  void CloseSocket() noexcept;
  bool RequestWaiting();
  void ReceiveDatagram(TMessageAssembler& Assembler);
  void Account(const TAssembleResult& Result);
  void ReportSetupFailure(const std::string& Text);
  // Owner thread: returns once the command posted has been taken or the thread has ended.
  void WaitForCommandTaken();
  // Receiver thread: writes the count of held-back loss texts once their window has passed.
  void FlushLossTexts();

  mutable std::mutex FSettingsLock;
  std::string FGroupAddress{kDefaultGroup};  // guarded by FSettingsLock
  uint16_t FPort = kDefaultPort;             // guarded by FSettingsLock
  std::string FInterfaceAddress;             // guarded by FSettingsLock
  std::string FSetupError;                   // guarded by FSettingsLock

  // Set after each command is taken and when the thread ends; only the owner waits on it.
  TEvent FEvent;
  std::atomic<bool> FRunning{false};

  // Receiver thread only (and the destructor, after the thread has ended).
  int FSocket = -1;
  bool FJoined = false;           // FSocket has joined FJoinedGroup on FJoinedInterface
  uint32_t FJoinedGroup = 0;      // network byte order
  uint32_t FJoinedInterface = 0;  // network byte order
  std::unique_ptr<uint8_t[]> FDatagram;
  TLossTextLimiter FLossLimiter;
  // Signalled by every post to the queue; read by the receiver thread. Lives as long as the
  // object; the queue's wake-up is removed before it closes.
  int FWakeFd = -1;

  std::atomic<uint64_t> FMessagesReceived{0};
  std::atomic<uint64_t> FMessagesAbandoned{0};
  std::atomic<uint64_t> FPacketsDropped{0};
  std::atomic<uint64_t> FDatagramsReceived{0};
};

}  // namespace kyv
