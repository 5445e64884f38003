#pragma once

#include "kyv/kyvcom.h"

namespace kyv {

// Keeps the component that owns a form alive while the form runs the control or raises an event
// to the host: a host may drop its last reference inside its handler, and the form's code after
// the call must not run on freed objects. When the hold turns out to be the last reference, it
// is released once Qt's loop is back, outside every handler of the form (deleting a receiver
// inside its own event is not allowed either).
//
// UI thread only. A null owner holds nothing.
class TOwnerHold {
 public:
  explicit TOwnerHold(IUnknown* Owner) noexcept;
  ~TOwnerHold();
  TOwnerHold(const TOwnerHold&) = delete;
  TOwnerHold& operator=(const TOwnerHold&) = delete;

 private:
  IUnknown* FOwner;
};

}  // namespace kyv
