#pragma once

namespace kyv {

// A descriptor that poll() can wait on beside a socket, so that another thread can end the
// wait at once: Signal makes it readable until the owner drains it. Any thread may Signal; the
// owner waits and drains. Signals do not queue up beyond "readable".
class TWakeUpDescriptor {
 public:
  TWakeUpDescriptor();  // raises EKyvError when the system has no descriptor to spare
  ~TWakeUpDescriptor();
  TWakeUpDescriptor(const TWakeUpDescriptor&) = delete;
  TWakeUpDescriptor& operator=(const TWakeUpDescriptor&) = delete;

  int Fd() const noexcept { return FFd; }
  void Signal() noexcept;
  // Makes the descriptor unreadable again; a Signal after this wakes the next wait.
  void Drain() noexcept;

 private:
  int FFd = -1;
};

}  // namespace kyv
