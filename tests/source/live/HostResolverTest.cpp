#include "source/live/HostResolver.h"

#include <poll.h>

#include <memory>

#include <gtest/gtest.h>

#include "platform/Errors.h"

namespace kyv {
namespace {

// Waits for the helper's signal as the reader does; false when none comes in time.
bool Signalled(TWakeUpDescriptor& Wake) {
  pollfd wait{Wake.Fd(), POLLIN, 0};
  return ::poll(&wait, 1, 5000) == 1;
}

TEST(HostResolver, AnswersThroughTheWakeUpDescriptor) {
  TWakeUpDescriptor wake;
  const THostResolver numeric("127.0.0.1", wake);
  ASSERT_TRUE(Signalled(wake));
  ASSERT_TRUE(numeric.Done());
  EXPECT_EQ(numeric.Result(), "127.0.0.1");
  wake.Drain();

  const THostResolver unknown("no-such-station.invalid", wake);
  ASSERT_TRUE(Signalled(wake));
  ASSERT_TRUE(unknown.Done());
  try {
    unknown.Result();
    FAIL() << "an unknown host resolved";
  } catch (const EKyvError& e) {
    EXPECT_NE(e.Message().find("no-such-station.invalid"), std::string::npos) << e.Message();
  }
}

TEST(HostResolver, ALookupGivenUpOnEndsOnItsOwn) {
  // Each lookup outlives its object and the wake-up descriptor that it was to signal; the
  // sanitizer builds see a helper that still touched them.
  for (int i = 0; i < 8; ++i) {
    auto wake = std::make_unique<TWakeUpDescriptor>();
    auto lookup = std::make_unique<THostResolver>("localhost", *wake);
    lookup.reset();
    wake.reset();
  }
}

}  // namespace
}  // namespace kyv
