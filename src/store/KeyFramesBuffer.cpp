#include "store/KeyFramesBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/Errors.h"
#include "platform/LittleEndian.h"

namespace kyv {

namespace {

// Bytes 0..13 of a bitmap file image: "BM", bfSize, reserved words, bfOffBits.
constexpr size_t kBitmapFileHeaderSize = 14;

}  // namespace

TKeyFramesBuffer::TKeyFramesBuffer() {
  FEntries.reserve(kMaxEntries);
}

const TKeyFrameEntry* TKeyFramesBuffer::Find(uint32_t Time) const {
  std::lock_guard guard(FLock);
  for (const TKeyFrameEntry& entry : FEntries)
    if (entry.FHeader.Time == Time) return &entry;
  return nullptr;
}

void TKeyFramesBuffer::Store(const TFrameHeader& Header, std::span<const uint8_t> Image) {
  if (Image.size() < kBitmapFileHeaderSize)
    throw EKyvError("Key frame image shorter than a bitmap file header");
  const uint32_t bfSize = LoadLE<uint32_t>(Image.data() + 2);
  if (bfSize < kBitmapFileHeaderSize || bfSize > Image.size())
    throw EKyvError("Key frame image of " + std::to_string(Image.size()) +
                    " bytes states a size of " + std::to_string(bfSize));

  std::lock_guard guard(FLock);
  const bool reuse = FEntries.size() >= kMaxEntries;
  // The new block is made before the list changes, so a failed allocation leaves it as it was.
  std::unique_ptr<uint8_t[]> block;
  if (!reuse || FEntries.front().FImageCapacity < bfSize) {
    try {
      block = std::make_unique_for_overwrite<uint8_t[]>(bfSize);
    } catch (const std::bad_alloc&) {
      throw EKyvError("Out of memory for a key frame image of " + std::to_string(bfSize) +
                      " bytes");
    }
  }
  TKeyFrameEntry* entry;
  if (reuse) {
    std::rotate(FEntries.begin(), FEntries.begin() + 1, FEntries.end());
    entry = &FEntries.back();
  } else {
    entry = &FEntries.emplace_back();  // capacity is reserved: no allocation, no failure
  }
  if (block) {
    entry->FImage = std::move(block);
    entry->FImageCapacity = bfSize;
  }
  entry->FHeader = Header;
  std::memcpy(entry->FImage.get(), Image.data(), bfSize);
  entry->FImageSize = bfSize;
}

void TKeyFramesBuffer::Clear() {
  std::lock_guard guard(FLock);
  FEntries.clear();
}

size_t TKeyFramesBuffer::Count() const {
  std::lock_guard guard(FLock);
  return FEntries.size();
}

}  // namespace kyv
