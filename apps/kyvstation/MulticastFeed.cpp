#include "MulticastFeed.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <vector>

#include "decoder/FileFormat.h"
#include "platform/Errors.h"
#include "platform/Thread.h"
#include "source/multicast/MulticastSender.h"
#include "source/multicast/SmsFile.h"

namespace kyv::station {

namespace {

using TClock = TBroadcastSchedule::TClock;

// The thread that puts each frame on the group when it is on air.
class TMulticastSendThread : public TThread {
 public:
  TMulticastSendThread(const TMulticastTarget& Target, const TStationSetup& Setup)
      : FSender(Target.Group, Target.Port, Target.Interface, Target.Ttl), FSetup(Setup) {}

 protected:
  void Execute() override {
    const TBroadcastSchedule& schedule = FSetup.Schedule;
    TBroadcastPosition next = schedule.StartAt(TClock::now());
    std::vector<uint8_t> message;
    uint64_t failures = 0;
    while (WaitUntil(schedule.DueTime(next))) {
      const std::span<const uint8_t> record = FSetup.Recording.Record(next.Index);
      message.assign(record.begin(), record.end());
      TFrameHeader header = TFrameHeader::Read(message.data());
      header.Time = schedule.WireTime(next);
      header.Write(message.data());
      try {
        if (FSetup.FrameSent) FSetup.FrameSent(header.Time);
        FSender.Send(message);
      } catch (const std::exception& e) {
        // A lost message is a gap for the players, not the end of the broadcast; the first
        // failures are noted, later ones only counted.
        if (++failures <= 10) FSetup.Console.Note(std::string("multicast: ") + e.what());
      }
      next = schedule.Next(next);
    }
    if (failures > 10)
      FSetup.Console.Note("multicast: " + std::to_string(failures) + " messages failed in all");
  }

 private:
  // False when the station stops first.
  bool WaitUntil(TClock::time_point Due) const {
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(Due - TClock::now());
      pollfd stop{FSetup.StopFd, POLLIN, 0};
      const int ready =
          ::poll(&stop, 1, static_cast<int>(std::clamp<int64_t>(left.count(), 0, 1000)));
      if (ready > 0) return false;
      if (ready < 0 && errno != EINTR) return false;
      if (TClock::now() >= Due) return true;
    }
  }

  TMulticastSender FSender;
  const TStationSetup& FSetup;
};

class TMulticastFeedImpl final : public TMulticastFeed {
 public:
  explicit TMulticastFeedImpl(TThreadPtr<TMulticastSendThread> Thread)
      : FThread(std::move(Thread)) {}

 private:
  TThreadPtr<TMulticastSendThread> FThread;
};

}  // namespace

bool MulticastAvailable() {
  return true;
}

std::unique_ptr<TMulticastFeed> TMulticastFeed::Start(const TMulticastTarget& Target,
                                                      const TStationSetup& Setup) {
  if (!Setup.Schedule.Paced())
    throw EKyvError("multicast needs a paced broadcast: a group cannot slow the sender down");
  if (!Target.SmsFile.empty()) WriteSmsFile(Target.SmsFile, Target.Group, Target.Port);
  auto thread = TThread::Create<TMulticastSendThread>(Target, Setup);
  Setup.Console.Note("multicast to " + Target.Group + ":" + std::to_string(Target.Port) +
                     (Target.Interface.empty() ? "" : " from " + Target.Interface) +
                     (Target.SmsFile.empty() ? "" : ", described in " + Target.SmsFile.string()));
  return std::make_unique<TMulticastFeedImpl>(std::move(thread));
}

}  // namespace kyv::station
