#pragma once

namespace kyv {

// Holds the lock of a store (anything with Lock and Unlock) for one scope.
template <class T>
class [[nodiscard]] TScopedLock {
 public:
  explicit TScopedLock(T& Owner) : FOwner(Owner) { FOwner.Lock(); }
  ~TScopedLock() { FOwner.Unlock(); }
  TScopedLock(const TScopedLock&) = delete;
  TScopedLock& operator=(const TScopedLock&) = delete;

 private:
  T& FOwner;
};

}  // namespace kyv
