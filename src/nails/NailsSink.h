#pragma once

#include <string>

#include "platform/Messages.h"
#include "platform/Window.h"

namespace kyv {

// What shows the thumbnails of a folder: the thumbnail strip. Its LoadNails clears what it shows
// and starts reading the folder's index, so it runs only on the window's (UI) thread. A worker
// that has a folder for it posts UM_LOAD_NAILS with PostLoadNails, and the window's thread hands
// the folder over with DeliverLoadNails.
class TNailsSink {
 public:
  virtual ~TNailsSink() = default;
  // UI thread. Dir is a thumbnail folder ending in '/'.
  virtual void LoadNails(const std::string& Dir) = 0;
};

// Any thread. Posts UM_LOAD_NAILS to Wnd with a heap copy of Dir in wParam; false when the
// window is gone or refuses it. The copy belongs to the window's thread once posted (freed by
// DeliverLoadNails or DiscardNailsMessages) and is freed here when the post fails.
bool PostLoadNails(HWND Wnd, const std::string& Dir);

// Window's thread, on UM_LOAD_NAILS: takes the folder out of the message, frees its block and
// calls Sink.LoadNails with it.
void DeliverLoadNails(const TMessage& Message, TNailsSink& Sink);

// Window's thread: removes every waiting UM_NAIL and UM_LOAD_NAILS from Queue and frees their
// blocks (a window that closes with thumbnails still queued).
void DiscardNailsMessages(TMessageQueue& Queue);

}  // namespace kyv
