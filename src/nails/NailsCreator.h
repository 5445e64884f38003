#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "platform/Thread.h"
#include "platform/Window.h"

namespace kyv {

// Reads the index of a thumbnail folder on a thread of its own, at the lowest priority, and posts
// each chosen thumbnail to a window as UM_NAIL (see NailRecord.h). It touches nothing shared: it
// reads the file, builds records and posts them. It ends by itself after the last entry, at the
// first empty line or bad time, or when the index cannot be read; freeing it (TThreadPtr) stops it
// before the next entry and waits for it.
class TNailsCreator : public TThread {
 public:
  // Dir: the thumbnail folder (its "nails.xml" and "nails/"); Wnd: the window that receives the
  // thumbnails (the control's). Made by the thumbnail strip on the UI thread.
  TNailsCreator(std::string Dir, HWND Wnd);

  // Any thread: thumbnails posted so far.
  size_t Posted() const { return FPosted.load(); }

 protected:
  void Execute() override;

 private:
  const std::string FDir;
  const HWND FWnd;
  std::atomic<size_t> FPosted{0};
};

}  // namespace kyv
