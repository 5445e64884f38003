// The live stream's message framer over arbitrary bytes, fed in pieces of a size the input
// chooses, against a plain reading of the same bytes: the same messages must come out, and a
// head above the bound must be refused exactly where it stands.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "source/live/StationMessageFramer.h"

namespace {

struct TExpected {
  std::vector<std::pair<size_t, size_t>> Messages;  // type offset and payload length
  bool Refused = false;
};

constexpr uint32_t kBound = 1 << 16;

TExpected ReadPlainly(const uint8_t* Data, size_t Size) {
  TExpected expected;
  size_t at = 0;
  while (Size - at >= 8) {
    const uint32_t length = kyv::LoadLE<uint32_t>(Data + at + 4);
    if (length > kBound) {
      expected.Refused = true;
      break;
    }
    if (Size - at - 8 < length) break;
    expected.Messages.emplace_back(at, length);
    at += 8 + length;
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 20)) return 0;
  const size_t piece = 1 + data[0] % 97;
  const uint8_t* bytes = data + 1;
  const size_t count = size - 1;
  const TExpected expected = ReadPlainly(bytes, count);

  kyv::TStationMessageFramer framer(kBound, 16);
  size_t fed = 0, taken = 0;
  bool refused = false;
  try {
    for (;;) {
      kyv::TStationMessage message;
      while (framer.Next(message)) {
        if (taken >= expected.Messages.size()) __builtin_trap();
        const auto [offset, length] = expected.Messages[taken++];
        if (message.Type != bytes[offset] || message.Payload.size() != length ||
            (length > 0 && std::memcmp(message.Payload.data(), bytes + offset + 8, length) != 0))
          __builtin_trap();
      }
      if (fed == count) break;
      const size_t n = framer.Feed({bytes + fed, std::min(piece, count - fed)});
      if (n == 0) __builtin_trap();  // with every message taken there is always room
      fed += n;
      if (framer.Capacity() > kBound + 8u) __builtin_trap();
    }
  } catch (const kyv::EKyvError& e) {
    if (!e.Code() || *e.Code() != 7) __builtin_trap();
    refused = true;
  }
  if (refused != expected.Refused || taken != expected.Messages.size()) __builtin_trap();
  return 0;
}
