#include "source/multicast/KyvMulticastStream.h"

#include <exception>
#include <utility>

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "log/Log.h"
#include "platform/Errors.h"
#include "platform/Window.h"
#include "source/live/PictureSize.h"
#include "source/multicast/NetworkInterfaces.h"
#include "source/multicast/SmsFile.h"

namespace kyv {

namespace {

std::vector<std::string> AtMostFour(std::vector<std::string> Interfaces) {
  if (Interfaces.size() > kMaxMulticastInterfaces) Interfaces.resize(kMaxMulticastInterfaces);
  return Interfaces;
}

}  // namespace

TKyvMulticastStream::TKyvMulticastStream(TPlayContext& Context)
    : TKyvMulticastStream(Context, ListInterfaces()) {}

TKyvMulticastStream::TKyvMulticastStream(TPlayContext& Context, std::vector<std::string> Interfaces)
    : TReadThread(Context), FInterfaces(AtMostFour(std::move(Interfaces))) {
  for (size_t i = 0; i < FInterfaces.size(); ++i)
    FClients.push_back(TThread::Create<TKyvMulticastClient>());
}

TKyvMulticastStream::~TKyvMulticastStream() {
  // The stream thread takes from the clients' pools, so it ends first.
  StopAndWait();
  FClients.clear();
}

void TKyvMulticastStream::StartReceivers(const std::string& Group, uint16_t Port) {
  for (size_t i = 0; i < FClients.size(); ++i) {
    FClients[i]->SetInterfaceAddress(FInterfaces[i]);
    FClients[i]->SetGroupAddress(Group);
    FClients[i]->SetPort(Port);
    FClients[i]->StartReceiving();
    // Records kept from an earlier opening belong to a picture the control has forgotten; the
    // receiver has left the old group by now, so nothing of it can arrive after this.
    FClients[i]->Drain();
  }
}

void TKyvMulticastStream::StopReceivers() {
  for (auto& client : FClients) client->StopReceiving();
}

void TKyvMulticastStream::DoOpen() {
  SetSourceKind(skMulticast);
  const std::string address = Address();
  const TSmsAddress group = ReadSmsFile(address);
  if (!group.Valid()) {
    GlobalLog().AddLine("Invalid multicast description file \"" + address + "\": " + group.Problem);
    PostMessage(FContext.Wnd, UM_OPENED, reInvalidMulticastFile, 0);
    return;
  }
  StartReceivers(group.Ip, group.Port);
  SetState(rsWaitingKeyFrame);
  Queue().Post(UM_READ, static_cast<WPARAM>(LPARAM{-1}));
}

void TKyvMulticastStream::DoRead(int64_t Time) {
  bool targetReached = false;
  try {
    if (FClients.empty()) throw EKyvError("No network interface to receive the multicast group on");
    size_t current = 0;
    size_t emptyPools = 0;
    while (!RequestWaiting()) {
      TFrameRecord record = FClients[current]->TakeRecord();
      current = (current + 1) % FClients.size();
      if (!record) {
        // The stream waits only when a whole turn found every pool empty.
        if (++emptyPools >= FClients.size()) {
          emptyPools = 0;
          WaitForRequest(kIdleWait);
        }
        continue;
      }
      emptyPools = 0;
      HandleRecord(std::move(record), Time, targetReached);
    }
  } catch (const std::exception& e) {
    GlobalLog().AddLine(std::string(kReadErrorPrefix) + e.what());
    if (!Stopping()) PostMessage(FContext.Wnd, UM_SOURCE_ERROR, reDamaged, 0);
  }
}

void TKyvMulticastStream::HandleRecord(TFrameRecord Record, int64_t Target, bool& TargetReached) {
  AddBytesReceived(Record.Size());
  switch (State()) {
    case rsDelivering:
      StoreRecord(std::move(Record), Target, TargetReached);
      break;
    case rsWaitingKeyFrame: {
      // A late joiner shows nothing until a key frame gives it a whole picture.
      if (!Record.IsKeyFrame()) break;
      TPictureSize size;
      try {
        size = ReadPictureSize(Record.View());
      } catch (const std::exception& e) {
        // A damaged or forged key frame is dropped; the next sound one opens the stream.
        GlobalLog().AddLine("Key frame at " + std::to_string(Record.Time()) +
                            " ms gives no picture size: " + e.what());
        break;
      }
      FContext.Header.Width = size.Width;
      FContext.Header.Height = size.Height;
      StoreRecord(std::move(Record), Target, TargetReached);
      SetState(rsDelivering);
      PostMessage(FContext.Wnd, UM_OPENED, 0, 0);
      break;
    }
    case rsIdle:
      break;  // not opened: the record has no place
  }
}

void TKyvMulticastStream::StoreRecord(TFrameRecord Record, int64_t Target, bool& TargetReached) {
  const uint32_t time = Record.Time();
  // A live session never ends by itself, so the store keeps its budget as it grows.
  const int32_t index = FStore.Add(std::move(Record));
  if (index >= 0 && Target >= 0 && !TargetReached && int64_t{time} >= Target) {
    FContext.PostToPlayer(UM_REPLAY, static_cast<WPARAM>(static_cast<LPARAM>(index)), 0);
    TargetReached = true;
  }
}

void TKyvMulticastStream::DoSeek(uint32_t Time) {
  Queue().Post(UM_READ, static_cast<WPARAM>(Time));
}

void TKyvMulticastStream::DoReset() {
  StopReceivers();
  FStore.Reset();
  SetState(rsIdle);
}

}  // namespace kyv
