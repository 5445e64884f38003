#include "ui/OwnerHold.h"

#include <QCoreApplication>

namespace kyv {

TOwnerHold::TOwnerHold(IUnknown* Owner) noexcept : FOwner(Owner) {
  if (FOwner != nullptr) FOwner->AddRef();
}

TOwnerHold::~TOwnerHold() {
  if (FOwner == nullptr) return;
  // AddRef tells the count: 2 means nobody but this hold is left.
  if (FOwner->AddRef() != 2 || QCoreApplication::instance() == nullptr) {
    FOwner->Release();
    FOwner->Release();
    return;
  }
  FOwner->Release();
  IUnknown* owner = FOwner;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [owner] { owner->Release(); }, Qt::QueuedConnection);
}

}  // namespace kyv
