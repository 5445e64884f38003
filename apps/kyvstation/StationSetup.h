#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "BroadcastSchedule.h"
#include "StationConsole.h"
#include "StationOptions.h"
#include "StationRecording.h"

namespace kyv::station {

// Called on a sender's thread just before a frame goes out, with the Time it carries.
using TFrameSentHook = std::function<void(uint32_t WireTime)>;

// What every player session of one station reads. The station owns it and outlives its
// sessions; nothing in it changes while they run.
struct TStationSetup {
  const TStationOptions& Options;
  const TStationRecording& Recording;
  const TBroadcastSchedule& Schedule;
  TStationConsole& Console;
  int StopFd = -1;           // becomes readable, and stays so, when the station stops
  std::string Reply;         // the login reply of an admitted or a refused player
  TFrameSentHook FrameSent;  // may be empty
};

}  // namespace kyv::station
