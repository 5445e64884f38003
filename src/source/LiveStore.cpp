#include "source/LiveStore.h"

#include <string>

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "log/Log.h"

namespace kyv {

int32_t TLiveStore::Add(TFrameRecord Frame) {
  TFramesBuffer& frames = FContext.Frames;
  const bool key = Frame.IsKeyFrame();
  // Without a key frame to start from nothing could show the frame, and nothing would free it.
  if (!key && !FDropping && frames.LastKeyFrameIndex() < 0) return -1;
  if (FDropping && !key) {
    ++FDroppedFrames;
    ++FDroppedNow;
    return -1;
  }
  const uint32_t time = Frame.Time();
  int32_t index = frames.Add(std::move(Frame));
  if (key) FContext.Index.AddEntry(time, true, 0);
  if (FDropping) {
    // This key frame starts the store afresh.
    FDropping = false;
    frames.DiscardPlayed(true);
    index = frames.Count() - 1;
    GlobalLog().AddLine("Live store: " + std::to_string(FDroppedNow) +
                        " frames dropped until the key frame at " + std::to_string(time) + " ms");
    FDroppedNow = 0;
  }
  const int64_t total = frames.TotalBytes();
  if (total > kTrimBytes) FContext.PostToPlayerIfRoom(UM_TRIM, 1, 0);
  if (total > kBudgetBytes) {
    const int32_t lastKey = frames.LastKeyFrameIndex();
    frames.DiscardPlayed(true);
    if (lastKey > 0) index -= lastKey;
    if (frames.TotalBytes() > kBudgetBytes) {
      FDropping = true;
      GlobalLog().AddLine("Live store: the frames since the key frame at " +
                          std::to_string(frames.FirstTime()) + " ms exceed " +
                          std::to_string(kBudgetBytes) +
                          " bytes; frames are dropped until the "
                          "next key frame");
    }
  }
  return index;
}

}  // namespace kyv
