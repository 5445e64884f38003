// This build has no multicast sender: the station serves TCP players only.
#include "MulticastFeed.h"
#include "platform/Errors.h"

namespace kyv::station {

bool MulticastAvailable() {
  return false;
}

std::unique_ptr<TMulticastFeed> TMulticastFeed::Start(const TMulticastTarget&,
                                                      const TStationSetup&) {
  throw EKyvError("this station was built without multicast sending");
}

}  // namespace kyv::station
