#pragma once

#include <memory>

#include "StationSetup.h"

namespace kyv::station {

// Sends the broadcast to a multicast group: every frame of the looped recording when it is on
// air, from loop 0's first key frame on, each as one message split into datagrams. Runs on a
// thread of its own from Start until the station's stop descriptor becomes readable; the
// destructor waits for it. Writes the group's description file first when asked.
class TMulticastFeed {
 public:
  virtual ~TMulticastFeed() = default;

  // Raises EKyvError when the sender cannot be set up or the description file not written, or
  // when this build has no multicast sender (MulticastAvailable() is false).
  static std::unique_ptr<TMulticastFeed> Start(const TMulticastTarget& Target,
                                               const TStationSetup& Setup);
};

}  // namespace kyv::station
