#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "decoder/BitmapFormat.h"
#include "decoder/FileFormat.h"
#include "picture/Dib.h"
#include "picture/Rect.h"
#include "picture/VirtualMouse.h"

namespace kyv {

// The off-screen picture of the captured screen: 24 bits, top-down rows, with the drawn cursor
// inside it. The play thread applies every decoded frame to it and collects the changed area;
// the control copies the changed part out.
//
// Threads: the play thread calls ApplyFrame between Lock and Unlock, and AddDirty,
// InvalidateCursor and GetDirtyRect outside the lock (they are its own). The control reads
// Picture, Bits, BytesPerLine and BytesPerPixel between Lock and Unlock; Created without it.
// SetSize, CreateFromInfo and FreeBitmap run when the play thread is made or ended, when nobody
// copies. Every field except FCreated is guarded by FLock or is the play thread's alone.
class TBackBuffer {
 public:
  // The picture's depth, whatever the frames' images use.
  static constexpr int kBitCount = 24;

  TBackBuffer() = default;
  ~TBackBuffer() { FreeBitmap(); }
  TBackBuffer(const TBackBuffer&) = delete;
  TBackBuffer& operator=(const TBackBuffer&) = delete;

  // Frees any picture and makes a black one of Width x Height with the built-in cursor.
  void SetSize(int Width, int Height);
  // Makes the picture from a bitmap description: its width and |height| at 24 bits, whatever
  // depth it names; a depth of 8 bits or fewer is an assertion failure.
  void CreateFromInfo(const TBitmapInfoHeader& Info);
  void FreeBitmap() noexcept;

  // Applies one frame record. Image is the decoded bitmap file image with ImageSize readable
  // bytes, or null for frames without payload. Without a picture only a key frame has effect
  // (it creates the picture). A bad image is refused with EKyvError before anything is drawn,
  // so the picture stays as drawn so far.
  void ApplyFrame(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize);

  // Adds R, clipped to the picture, to the changed area.
  void AddDirty(const TRect& R);
  // Adds the cursor's rectangle to the changed area.
  void InvalidateCursor();
  // R := the changed area collected so far; Reset starts a new, empty one.
  void GetDirtyRect(TRect& R, bool Reset) noexcept;

  // The picture lock, between drawing and copying out. lock/unlock let std::lock_guard hold it.
  void Lock() { FLock.lock(); }
  void Unlock() { FLock.unlock(); }
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  bool Created() const noexcept { return FCreated.load(std::memory_order_acquire); }
  const TDib& Picture() const noexcept { return FDC; }
  const uint8_t* Bits() const noexcept { return FDC.Bits(); }
  int BytesPerLine() const noexcept { return FBytesPerLine; }
  int BytesPerPixel() const noexcept { return FBytesPerPixel; }
  int Width() const noexcept { return FDC.Width(); }
  int Height() const noexcept { return FDC.Height(); }
  const TBitmapInfoHeader& Info() const noexcept { return FInfo; }
  // The drawn cursor; null without a picture.
  const TVirtualMouse* Mouse() const noexcept { return FMouse.get(); }

 private:
  void ApplyRectangle(const TFrameHeader& Header, const TBitmapImage& Image);
  void ApplyCursor(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize);

  std::atomic<bool> FCreated{false};
  TDib FDC;                               // the picture; the cursor draws into it
  std::unique_ptr<TVirtualMouse> FMouse;  // made and freed with the picture
  TRect FDirtyRect;
  TBitmapInfoHeader FInfo{};
  int FBytesPerLine = 0;
  int FBytesPerPixel = 0;
  std::mutex FLock;
};

}  // namespace kyv
