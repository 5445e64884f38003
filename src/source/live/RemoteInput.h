#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kyv {

// The remote-input requests a player sends a live station while it shows it full screen: the
// station replays them as keyboard and mouse input on its own computer. Pure functions: any
// thread.

// dwFlags of the mouse request.
enum TMouseEventFlags : int32_t {
  mfLeftDown = 2,
  mfLeftUp = 4,
  mfRightDown = 8,
  mfRightUp = 16,
  mfMiddleDown = 32,
  mfMiddleUp = 64,
  mfMoveAbsolute = 0x8001,  // a move to an absolute position
};

// dwFlags of a key's release.
inline constexpr int32_t kKeyUpFlag = 2;

// "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=<VirtualKey>\r\nbScan=0\r\ndwFlags=<0 or 2>".
std::string KeyboardRequest(uint16_t VirtualKey, bool KeyUp);

// "REQUEST\r\nCommand=MOUSE_EVENT\r\ndwFlags=<Flags>\r\ndx=<X>\r\ndy=<Y>\r\ndwData=0".
std::string MouseRequest(int32_t Flags, int32_t X, int32_t Y);

// The flags of pressing (Up false) or releasing button 0 left, 1 right or 2 middle; 0 for any
// other button, which the station has no request for.
int32_t MouseButtonFlags(int Button, bool Up) noexcept;

// Where request texts go: the live stream's PostText. Empty when the source is not a live
// station, which then gets nothing.
using TRequestSender = std::function<void(const std::string& Text)>;

}  // namespace kyv
