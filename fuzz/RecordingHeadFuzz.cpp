// The container header and index checks over arbitrary bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "decoder/RecordingHead.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kyv::TReadAt readAt = [&](uint64_t offset, void* buffer, size_t count) -> size_t {
    if (offset >= size) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size - offset));
    std::memcpy(buffer, data + offset, n);
    return n;
  };
  try {
    const kyv::TRecordingHead head = kyv::ReadRecordingHead(readAt);
    // Everything accepted was really in the input.
    const uint64_t indexBytes = head.Index.size() * head.Header.IndexEntrySize();
    if (32 + static_cast<uint64_t>(head.Header.IndexOffset) + 16 + indexBytes > size)
      __builtin_trap();
  } catch (const kyv::EKyvError& e) {
    if (!e.Code()) __builtin_trap();  // every refusal carries its reader code
  }
  return 0;
}
