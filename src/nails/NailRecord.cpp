#include "nails/NailRecord.h"

#include <algorithm>
#include <cstring>

#include "platform/Errors.h"
#include "context/UserMessages.h"

namespace kyv {

bool PostNail(HWND Wnd, const TNailEntry& Entry) {
  KYV_ASSERT(Entry.Path.size() < kNailPathBytes);
  auto record = std::make_unique<TNailRecord>();  // value-initialised: zero-filled
  std::memcpy(record->Path, Entry.Path.data(), Entry.Path.size());
  record->PathLength = static_cast<int32_t>(Entry.Path.size());
  record->Seconds = Entry.Seconds;
  if (!PostMessage(Wnd, UM_NAIL, reinterpret_cast<WPARAM>(record.get()), 0)) return false;
  record.release();  // the window's thread owns it now
  return true;
}

std::unique_ptr<TNailRecord> TakeNailRecord(const TMessage& Message) {
  return std::unique_ptr<TNailRecord>(reinterpret_cast<TNailRecord*>(Message.WParam));
}

std::string NailPath(const TNailRecord& Record) {
  const size_t length =
      static_cast<size_t>(std::clamp<int32_t>(Record.PathLength, 0, kNailPathBytes));
  return std::string(Record.Path, length);
}

}  // namespace kyv
