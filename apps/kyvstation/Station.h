#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "BroadcastSchedule.h"
#include "MulticastFeed.h"
#include "PlayerSession.h"
#include "StationConsole.h"
#include "StationOptions.h"
#include "StationRecording.h"
#include "StationSetup.h"
#include "platform/Thread.h"
#include "source/live/WakeUpDescriptor.h"

namespace kyv::station {

// The broadcasting station: it holds the recording, listens for players and serves each on a
// session thread of its own, and feeds the multicast group when asked. The broadcast's clock
// starts when the station is made.
//
// Threads: Run and the destructor on the thread that made the station; Stop on any thread, and
// from a signal handler (it only writes to a descriptor). Sessions and the multicast feed end
// when the stop descriptor becomes readable and are joined by Run before it returns.
class TStation {
 public:
  // Loads the recording and starts listening. Raises EKyvError with a clear text when the
  // recording cannot be served or the address cannot be listened on.
  TStation(TStationOptions Options, TStationConsole& Console, TFrameSentHook FrameSent = {});
  ~TStation();
  TStation(const TStation&) = delete;
  TStation& operator=(const TStation&) = delete;

  // The port listened on (the system's choice when the options asked for 0).
  uint16_t Port() const noexcept { return FPort; }
  const TStationRecording& Recording() const noexcept { return FRecording; }

  // Serves until Stop. Raises EKyvError when the multicast feed cannot start or listening
  // fails for good.
  void Run();
  void Stop() noexcept { FStop.Signal(); }

 private:
  void Listen();
  void Accept();
  void Reap();
  std::string MakeReply() const;

  const TStationOptions FOptions;
  TStationConsole& FConsole;
  const TStationRecording FRecording;
  const TBroadcastSchedule FSchedule;
  TWakeUpDescriptor FStop;
  TStationSetup FSetup;
  int FListener = -1;
  uint16_t FPort = 0;
  // Destroyed before everything they read.
  std::unique_ptr<TMulticastFeed> FMulticast;
  std::vector<TThreadPtr<TPlayerSession>> FSessions;
};

}  // namespace kyv::station
