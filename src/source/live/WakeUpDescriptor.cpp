#include "source/live/WakeUpDescriptor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Errors.h"

namespace kyv {

TWakeUpDescriptor::TWakeUpDescriptor() : FFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (FFd < 0) throw EKyvError(std::string("eventfd failed: ") + std::strerror(errno));
}

TWakeUpDescriptor::~TWakeUpDescriptor() {
  ::close(FFd);
}

void TWakeUpDescriptor::Signal() noexcept {
  const uint64_t one = 1;
  // Only a counter at its limit refuses the write, and that one is readable anyway.
  [[maybe_unused]] const ssize_t written = ::write(FFd, &one, sizeof one);
}

void TWakeUpDescriptor::Drain() noexcept {
  uint64_t count;
  [[maybe_unused]] const ssize_t read = ::read(FFd, &count, sizeof count);
}

}  // namespace kyv
