#pragma once

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/Messages.h"
#include "platform/Window.h"

namespace kyv::test {

// How long a test waits for a worker's message before it counts as never coming.
inline constexpr std::chrono::milliseconds kWindowPatience{10000};

// The next message posted to Window, waiting up to Wait; Msg 0 when none came.
inline TMessage NextWindowMessage(TWindow& Window,
                                  std::chrono::milliseconds Wait = kWindowPatience) {
  TMessage message;
  if (Window.Queue().WaitFor(Wait) && Window.Queue().Peek(message)) return message;
  return {};
}

// Waits up to Timeout for a message of number Msg and takes it; messages of other numbers stay
// in the queue.
inline std::optional<TMessage> WaitWindowMessage(
    TWindow& Window, UINT Msg, std::chrono::milliseconds Timeout = kWindowPatience) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    TMessage message;
    if (Window.Queue().Peek(message, Msg, Msg, true)) return message;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return std::nullopt;
    // Wakes for any message; one of another number sends it round again.
    Window.Queue().WaitFor(
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now),
                 std::chrono::milliseconds(2)));
  }
}

}  // namespace kyv::test
