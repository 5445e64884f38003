// Datagrams of a multicast group, as a hostile or damaged sender might make them, through the
// reassembly and into a receiver's pool. The input is a sequence of datagrams, each a 16-bit
// little-endian length and that many bytes (cut short at the end of the input).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "decoder/FileFormat.h"
#include "platform/LittleEndian.h"
#include "source/multicast/KyvMulticastClient.h"
#include "source/multicast/MessageAssembler.h"

namespace {

void Check(bool Holds) {
  if (!Holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One pool for every input; its receiver thread is never started.
  static kyv::TKyvMulticastClient client;
  client.Drain();
  kyv::TMessageAssembler assembler;
  size_t at = 0;
  while (size - at >= 2) {
    const size_t length = std::min<size_t>(kyv::LoadLE<uint16_t>(data + at), size - at - 2);
    const std::span<const uint8_t> datagram(data + at + 2, length);
    at += 2 + length;
    const kyv::TAssembleResult result = assembler.Feed(datagram);
    if (!result.Complete) continue;
    Check(datagram.size() >= kyv::TMulticastPacketHeader::kSize);
    Check(result.Message.size() == kyv::TMulticastPacketHeader::Read(datagram.data()).MessageSize);
    Check(result.Message.size() <= kyv::kMaxMessageSize);
    client.Store(result.Message);
  }
  // The pool hands back only whole records, and nothing more than it was given.
  int32_t held = client.PoolDataLen();
  while (kyv::TFrameRecord record = client.TakeRecord()) {
    held -= static_cast<int32_t>(record.Size());
    Check(held >= 0);
  }
  return 0;
}
