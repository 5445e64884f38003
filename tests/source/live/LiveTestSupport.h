#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "com/ComObject.h"
#include "platform/Messages.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "store/FrameRecord.h"
#include "store/FramesBuffer.h"
#include "support/WindowMessages.h"

namespace kyv::test {

using namespace std::chrono_literals;

// How long a test waits for something that should happen at once.
inline constexpr auto kGuard = 5s;

// One message as a station or a player sent it.
struct TWireMessage {
  uint8_t Type = 0;
  std::string Payload;
};

// The whole bytes of one message: the 8-byte head, then Payload.
std::vector<uint8_t> WireMessage(uint8_t Type, std::span<const uint8_t> Payload);
std::vector<uint8_t> WireMessage(uint8_t Type, std::string_view Payload);

// A frame record: a key frame whose payload is an uncompressed 24-bit bitmap of Width x Height
// (negative Height: top-down), or another record with Size payload bytes of a pattern.
std::vector<uint8_t> KeyFrameRecord(uint32_t Time, int Width, int Height);
std::vector<uint8_t> PlainRecord(uint32_t Time, size_t Size, int16_t Type = 3);

// A station played by the test on 127.0.0.1 at a port the system chose. The test thread
// accepts the player's connection, reads what it sends and writes whatever bytes it likes;
// every wait has a time-out, so a test that goes wrong fails instead of hanging.
class TScriptedStation {
 public:
  TScriptedStation();
  ~TScriptedStation();
  TScriptedStation(const TScriptedStation&) = delete;
  TScriptedStation& operator=(const TScriptedStation&) = delete;

  uint16_t Port() const { return FPort; }
  std::string Address(const std::string& Channel = "demo") const;

  // True when a player connected within the time.
  bool Accept(std::chrono::milliseconds Timeout = kGuard);
  // The next message of the player; nullopt when it closes or the time passes.
  std::optional<TWireMessage> Read(std::chrono::milliseconds Timeout = kGuard);
  // Accepts, reads the login, answers with Reply and reads "Start"; the login text is kept.
  bool Login(const std::string& Reply = "Permission=True\r\n");
  const std::string& LoginText() const { return FLoginText; }

  void Send(std::span<const uint8_t> Bytes);
  void SendMessage(uint8_t Type, std::string_view Payload);
  void CloseConnection();
  // True when the player has closed its end within the time (what it sent is dropped).
  bool PeerClosed(std::chrono::milliseconds Timeout = kGuard);

 private:
  bool ReadExact(void* Buffer, size_t Count, std::chrono::steady_clock::time_point Deadline);

  int FListener = -1;
  int FConnection = -1;
  uint16_t FPort = 0;
  std::string FLoginText;
};

// Waits until Condition holds; false when it does not within the time.
template <class TCondition>
bool WaitUntil(TCondition Condition, std::chrono::milliseconds Timeout = kGuard) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  while (!Condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// An event sink that notes every event: its member number and its argument (texts in UTF-8,
// OnStreamSample's record copied from the address it was given during the call).
class TEventSink : public com::TComObject<IDispatch> {
 public:
  struct TEvent {
    DISPID Member = 0;
    VARTYPE Type = VT_EMPTY;
    std::string Text;             // texts
    std::vector<uint8_t> Record;  // OnStreamSample: the record at the address given
  };

  HRESULT GetTypeInfoCount(UINT* Count) override {
    *Count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override;

  std::vector<TEvent> Events() const;
  // Waits until Count events have arrived.
  bool WaitForCount(size_t Count, std::chrono::milliseconds Timeout = kGuard) const;

 private:
  mutable std::mutex FLock;
  std::vector<TEvent> FEvents;  // guarded by FLock
};

// Stands in for the play thread: counts the UM_TRIM requests it gets and trims like it.
class TTrimCounter : public TThread {
 public:
  explicit TTrimCounter(TFramesBuffer& Frames) : FFrames(Frames) {}
  int Trims() const { return FTrims.load(); }

 protected:
  void Execute() override;

 private:
  TFramesBuffer& FFrames;
  std::atomic<int> FTrims{0};
};

}  // namespace kyv::test
