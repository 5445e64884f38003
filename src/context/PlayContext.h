#pragma once

#include <atomic>

#include "decoder/FileFormat.h"
#include "platform/Messages.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "store/FramesBuffer.h"
#include "store/IndexTable.h"
#include "store/KeyFramesBuffer.h"

namespace kyv {

class TReadThread;

// What the control owns for its whole life and every worker of the open source reads. Workers
// hold a reference and free nothing in it. It lies below the readers that fill it and the play
// thread that reads it, so it names neither beyond a declaration.
//
// The stores take their own locks. Header is handed over without a lock: a reader writes it
// only in its open, before it posts UM_OPENED, and opens once; the control reads it after it
// has taken that UM_OPENED (the window queue's lock orders the two) and makes the play thread
// only then. Reset writes it with no worker of the source left. So nobody reads Header while
// it is written, and the control reads nothing of it while a source is still opening.
//
// The thread pointers are borrowed: the control sets them when it creates a worker and clears
// them before it frees it, so they are atomic for the workers that read them meanwhile. Wnd is
// set by the control while no worker runs.
struct TPlayContext {
  TFileHeader Header{};
  TFramesBuffer Frames;
  TKeyFramesBuffer KeyFrames;
  TIndexTable Index;
  std::atomic<TReadThread*> Reader{nullptr};
  // The play thread, as a thread that takes requests; the reader posts UM_REPLAY through it.
  std::atomic<TThread*> PlayerThread{nullptr};
  HWND Wnd = 0;

  // Control's thread, with no worker of the source left running: forgets the closed source.
  void Reset() {
    Header = TFileHeader{};
    Frames.Clear();
    KeyFrames.Clear();
    Index.Clear();
  }

  // How long a reader keeps trying to post into a full play-thread queue. The play thread may be
  // waiting for that very reader to stop, so the reader must get back to its own queue.
  static constexpr uint32_t kPlayerPostLimitMs = 1000;

  // Any thread: posts a request to the play thread. False when there is none, it has ended, or
  // its queue stayed full for kPlayerPostLimitMs; the caller then keeps what it would have said
  // and says it again later.
  bool PostToPlayer(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0) {
    TThread* player = PlayerThread.load(std::memory_order_acquire);
    return player != nullptr &&
           SafePostThreadMessageFor(*player, kPlayerPostLimitMs, Msg, WParam, LParam);
  }

  // Any thread: posts a request that may be dropped when the play thread's queue is full, such
  // as a trim that the next frame asks for again. Never waits, so a reader cannot end up waiting
  // for a play thread that is itself waiting for the reader (a stop).
  bool PostToPlayerIfRoom(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0) {
    TThread* player = PlayerThread.load(std::memory_order_acquire);
    return player != nullptr && player->Queue().Post(Msg, WParam, LParam);
  }
};

}  // namespace kyv
