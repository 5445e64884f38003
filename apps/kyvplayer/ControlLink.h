#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "com/ComPtr.h"
#include "kyv/kyvplayer.h"
#include "kyv/kyvplayerhost.h"

namespace kyv::player {

// A failure of the control or of the way to it, with the text a person reads.
class EControlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Why the last source failed, as the control tells it (Code 0 when none has).
struct TSourceFailure {
  int32_t Code = 0;
  std::string Text;
  std::string Cause;
  bool operator==(const TSourceFailure&) const = default;
};

// The player's link to the control, only through the component runtime: the control is made
// by its program identifier, as any host makes it. When the class is not registered yet (or
// its library has gone), the control library installed or built beside the program is
// registered first, and that is said once on the given stream.
//
// The typed members below call the control and raise EControlError with the control's own
// error description when a call fails.
//
// Threads: made, used and destroyed on the UI thread (the control's apartment).
class TControlLink {
 public:
  // Raises EControlError when the control cannot be made. Candidates are the libraries to
  // register when needed, first found wins (LibraryCandidates() by default).
  explicit TControlLink(std::ostream& Notes,
                        std::vector<std::filesystem::path> Candidates = LibraryCandidates());
  ~TControlLink();
  TControlLink(const TControlLink&) = delete;
  TControlLink& operator=(const TControlLink&) = delete;

  // Where the control library may be, for the program at /proc/self/exe: beside it, in the
  // library folder of its installation prefix, and in the build tree it was built in.
  static std::vector<std::filesystem::path> LibraryCandidates();

  // Connects the event sink; the previous one, if any, is disconnected first.
  void Advise(IDispatch* Sink);
  void Unadvise();

  // The control's toolkit widget (a QWidget*), or null when it has none.
  void* Widget() const;

  // Raises EControlError "cannot open ADDRESS: WHY" when the control refuses at once.
  void Open(const std::string& Address);
  void Close();
  void Play();
  void Pause();
  void Stop();
  void FastForward();
  TStatus Status() const;
  int32_t Position() const;
  void SetPosition(int32_t Milliseconds);
  int32_t Duration() const;
  // Time of the last frame shown.
  int32_t MediaTime() const;
  int32_t Width() const;
  int32_t Height() const;
  std::string Url() const;
  // What a live station calls itself; "" for other sources.
  std::string StationTitle() const;
  TDisplayMode DisplayMode() const;
  void SetDisplayMode(TDisplayMode Mode);
  void SetAutoStart(bool Value);
  bool AutoConnect() const;
  TSourceFailure LastSourceFailure() const;

  IKyvPlayer& Player() const noexcept { return *FPlayer; }

 private:
  // Raises EControlError for a failed call: What, and the thread's error description.
  static void Check(HRESULT Result, const char* What);

  // The thread's membership of the component runtime, for as long as the link lives.
  struct TApartment {
    TApartment();
    ~TApartment();
    TApartment(const TApartment&) = delete;
    TApartment& operator=(const TApartment&) = delete;
  };

  // First: the references below go before the runtime does.
  TApartment FApartment;
  com::TComPtr<IKyvPlayer> FPlayer;
  com::TComPtr<IKyvPlayerHost> FHost;
  com::TComPtr<IConnectionPoint> FPoint;
  DWORD FCookie = 0;
};

}  // namespace kyv::player
