#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "play/PlayThread.h"
#include "support/TempFolder.h"
#include "writer/BitmapWriter.h"
#include "writer/Pixels24.h"

namespace kyv::test {

// A play thread over a context that the test fills by hand, a window whose messages the test
// handles, and a clock that the test moves.
class TPlayHarness : public ::testing::Test {
 protected:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 48;
  static constexpr auto kPatience = std::chrono::seconds(10);

  TPlayHarness() {
    Context.Wnd = Window.Handle();
    Context.Header.Width = kWidth;
    Context.Header.Height = kHeight;
  }

  ~TPlayHarness() override { StopPlayer(); }

  void StartPlayer() {
    Player = TThread::Create<TPlayThread>(Context, Temp.Path().string());
    Player->SetCacheKeyFrames(false);
    Context.PlayerThread = Player.get();
  }

  void StopPlayer() {
    Context.PlayerThread = nullptr;
    Player.reset();
  }

  // A key frame of one colour over the whole picture; indexed unless told otherwise.
  void AddKey(uint32_t Time, uint32_t Colour, bool Indexed = true) {
    AddImage(Time, ftKeyFrame, 0, 0, TPixels24(kWidth, kHeight, Colour));
    if (Indexed) Context.Index.AddEntry(Time, false, 0);
  }

  void AddRect(uint32_t Time, int Left, int Top, int Width, int Height, uint32_t Colour,
               TFrameType Type = ftCopyRect) {
    AddImage(Time, Type, Left, Top, TPixels24(Width, Height, Colour));
  }

  void AddImage(uint32_t Time, TFrameType Type, int Left, int Top, const TPixels24& Picture) {
    const std::vector<uint8_t> image = EncodeBitmapFile(Picture, 24);
    AddRecord(Header(Time, Type, Left, Top, ckNone), image);
  }

  void AddRecord(const TFrameHeader& H, std::span<const uint8_t> Payload) {
    TFrameHeader h = H;
    h.DataSize = static_cast<uint32_t>(Payload.size());
    Context.Frames.Add(TFrameRecord::Make(h, Payload));
  }

  static TFrameHeader Header(uint32_t Time, TFrameType Type, int Left = 0, int Top = 0,
                             TCompression Kind = ckNone) {
    TFrameHeader h{};
    h.Time = Time;
    h.FrameType = Type;
    h.Compression = Kind;
    h.Left = static_cast<uint16_t>(Left);
    h.Top = static_cast<uint16_t>(Top);
    return h;
  }

  // Handles window messages until Done holds after one of them, or the patience runs out.
  template <class Pred>
  bool HandleUntil(Pred Done, std::chrono::milliseconds Patience = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + Patience;
    for (;;) {
      TMessage m;
      while (Window.Queue().Peek(m)) {
        Seen.push_back(m);
        if (Done(m)) return true;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      Window.Queue().WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
  }

  bool WaitMessage(UINT Msg, TMessage* Out = nullptr) {
    return HandleUntil([&](const TMessage& m) {
      if (m.Msg != Msg) return false;
      if (Out) *Out = m;
      return true;
    });
  }

  // Handles what arrives for a short while: for showing that something does not happen.
  void Settle(std::chrono::milliseconds For = std::chrono::milliseconds(60)) {
    HandleUntil([](const TMessage&) { return false; }, For);
  }

  // Waits (handling messages) until Pred holds; false when it never does.
  template <class Pred>
  bool Eventually(Pred Check) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!Check()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      HandleUntil([](const TMessage&) { return false; }, std::chrono::milliseconds(2));
    }
    return true;
  }

  // Waits until the play thread has taken every request, and a little more, so that a loop it
  // starts has read the clock before the test moves it.
  void Taken() {
    ASSERT_TRUE(Eventually([&] { return Player->Queue().Count() == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  size_t CountSeen(UINT Msg) const {
    size_t n = 0;
    for (const TMessage& m : Seen) n += m.Msg == Msg;
    return n;
  }

  std::vector<WPARAM> Params(UINT Msg) const {
    std::vector<WPARAM> out;
    for (const TMessage& m : Seen)
      if (m.Msg == Msg) out.push_back(m.WParam);
    return out;
  }

  uint32_t PixelAt(int X, int Y) {
    TBackBuffer& picture = Player->BackBuffer();
    std::lock_guard lock(picture);
    return picture.Picture().Colour(X, Y);
  }

  TManualClock Clock{1000};
  TDecoderUsage Decoder;
  TTempFolder Temp{"kyv_play"};
  TWindow Window;
  TPlayContext Context;
  TThreadPtr<TPlayThread> Player;
  std::vector<TMessage> Seen;
};

}  // namespace kyv::test
