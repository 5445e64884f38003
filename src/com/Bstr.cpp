#include <cstdlib>
#include <cstring>
#include <limits>

#include "com/Utf.h"
#include "kyv/kyvcom.h"

// A BSTR's block: the byte length (u32), then the units and a zero unit. The pointer handed out
// is the first unit, 4 bytes into a block that malloc aligned for anything.
namespace {

constexpr size_t kPrefix = sizeof(uint32_t);

BSTR Allocate(const OLECHAR* Units, size_t Count) {
  if (Count > (std::numeric_limits<uint32_t>::max() - kPrefix) / sizeof(OLECHAR) - 1)
    return nullptr;
  const size_t bytes = Count * sizeof(OLECHAR);
  auto* block = static_cast<uint8_t*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto length = static_cast<uint32_t>(bytes);
  std::memcpy(block, &length, kPrefix);
  auto* text = reinterpret_cast<OLECHAR*>(block + kPrefix);
  if (Units != nullptr && Count > 0)
    std::memcpy(text, Units, bytes);
  else if (Count > 0)
    std::memset(text, 0, bytes);
  text[Count] = 0;
  return text;
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  size_t count = 0;
  while (psz[count] != 0) ++count;
  return Allocate(psz, count);
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return Allocate(strIn, ui);
}

BSTR SysAllocStringUtf8(const char* utf8) {
  if (utf8 == nullptr) return nullptr;
  const std::u16string text = kyv::com::Utf8ToUtf16(utf8);
  return Allocate(text.data(), text.size());
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(reinterpret_cast<uint8_t*>(bstrString) - kPrefix);
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  uint32_t length = 0;
  std::memcpy(&length, reinterpret_cast<const uint8_t*>(bstr) - kPrefix, kPrefix);
  return length;
}

UINT SysStringLen(BSTR pbstr) {
  return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

}  // extern "C"
