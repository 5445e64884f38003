#pragma once

#include "control/PlayerStatus.h"

namespace kyv {

// What the control tells its host, raised on the control's thread. Names and arguments are
// those of the host's event interface, so an adapter to it is one line per event. A host
// overrides what it listens to; the rest do nothing.
//
// A handler may call the control's commands (Close, Open ...), but must not destroy it. The
// live stream's four events do not come this way: the stream raises them on its own thread.
class IPlayerEvents {
 public:
  virtual ~IPlayerEvents() = default;

  // After every change of the play state.
  virtual void OnPlayStateChanged(TStatus NewState) { (void)NewState; }
  // After every change of the display mode, also with nothing open.
  virtual void OnDisplayModeChanged(TDisplayMode NewMode) { (void)NewMode; }
  // Not an event of the host's interface: a source reported a failure (also while the state
  // stays vpOpening). The same error is kept in LastSourceError.
  virtual void OnSourceError(const TSourceError& Error) { (void)Error; }
};

}  // namespace kyv
