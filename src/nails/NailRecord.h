#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "nails/NailsIndex.h"
#include "platform/Messages.h"
#include "platform/Window.h"

namespace kyv {

// One thumbnail on its way from the creator thread to the control's window: the block that
// UM_NAIL carries in wParam (lParam 0). A fixed layout of 2056 bytes.
//
// Ownership: the creator allocates it (PostNail); once the post has succeeded, the window's
// thread owns it and frees it through TakeNailRecord, also when adding the thumbnail fails. A
// post that fails frees it at once.
struct TNailRecord {
  char Path[kNailPathBytes];  // the image's full path, zero-filled after its end
  int32_t PathLength;         // bytes of Path in use
  int32_t Seconds;            // the thumbnail's time in whole seconds
};
static_assert(sizeof(TNailRecord) == 2056);
static_assert(offsetof(TNailRecord, Path) == 0);
static_assert(offsetof(TNailRecord, PathLength) == 2048);
static_assert(offsetof(TNailRecord, Seconds) == 2052);

// Creator thread. Posts Entry to Wnd as UM_NAIL; false when the window is gone or refuses it.
// Entry.Path must be shorter than kNailPathBytes (ChooseNailEntries sees to it).
bool PostNail(HWND Wnd, const TNailEntry& Entry);

// Window's thread, on UM_NAIL: takes ownership of the message's record.
std::unique_ptr<TNailRecord> TakeNailRecord(const TMessage& Message);
// The path a record carries.
std::string NailPath(const TNailRecord& Record);

}  // namespace kyv
