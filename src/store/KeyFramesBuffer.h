#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "decoder/FileFormat.h"
#include "store/ScopedLock.h"

namespace kyv {

// One cached key frame: a copy of its header and of its decoded bitmap file image.
class TKeyFrameEntry {
 public:
  const TFrameHeader& Header() const noexcept { return FHeader; }
  // The image, bfSize bytes long.
  std::span<const uint8_t> Image() const noexcept { return {FImage.get(), FImageSize}; }

 private:
  friend class TKeyFramesBuffer;

  TFrameHeader FHeader{};
  std::unique_ptr<uint8_t[]> FImage;
  size_t FImageSize = 0;
  size_t FImageCapacity = 0;  // the block may be larger than the image it holds now
};

// A small cache of decoded key frames, at most kMaxEntries, the most recent last. The play
// thread holds the lock (Lock, or TGuard) from Find until the picture has been drawn, and
// stores between; Clear and Count take it themselves. The lock is recursive so that those may be
// called while it is held.
//
// Lock order when nested (play thread): frames buffer, decoder, key-frame buffer, back buffer.
class TKeyFramesBuffer {
 public:
  using TGuard = TScopedLock<TKeyFramesBuffer>;

  static constexpr size_t kMaxEntries = 3;

  TKeyFramesBuffer();
  TKeyFramesBuffer(const TKeyFramesBuffer&) = delete;
  TKeyFramesBuffer& operator=(const TKeyFramesBuffer&) = delete;

  void Lock() const { FLock.lock(); }
  void Unlock() const { FLock.unlock(); }

  // Caller holds the lock: the first entry whose header carries Time, or null. The entry stays
  // valid until the lock is released or Store is called.
  const TKeyFrameEntry* Find(uint32_t Time) const;

  // Caller holds the lock: keeps a copy of a decoded key frame. Image is a bitmap file image; its
  // bfSize bytes are copied (EKyvError when Image is shorter than its bfSize or than a file
  // header). With the cache full, the oldest entry is reused (its block enlarged only when too
  // small) and moved to the end; otherwise a new entry is appended.
  void Store(const TFrameHeader& Header, std::span<const uint8_t> Image);

  // Any thread: frees every entry and its image.
  void Clear();
  size_t Count() const;

 private:
  mutable std::recursive_mutex FLock;
  std::vector<TKeyFrameEntry> FEntries;  // guarded by FLock; oldest first
};

}  // namespace kyv
