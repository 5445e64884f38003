#include "source/live/RemoteInput.h"

namespace kyv {

std::string KeyboardRequest(uint16_t VirtualKey, bool KeyUp) {
  return "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=" + std::to_string(VirtualKey) +
         "\r\nbScan=0\r\ndwFlags=" + std::to_string(KeyUp ? kKeyUpFlag : 0);
}

std::string MouseRequest(int32_t Flags, int32_t X, int32_t Y) {
  return "REQUEST\r\nCommand=MOUSE_EVENT\r\ndwFlags=" + std::to_string(Flags) +
         "\r\ndx=" + std::to_string(X) + "\r\ndy=" + std::to_string(Y) + "\r\ndwData=0";
}

int32_t MouseButtonFlags(int Button, bool Up) noexcept {
  switch (Button) {
    case 0:
      return Up ? mfLeftUp : mfLeftDown;
    case 1:
      return Up ? mfRightUp : mfRightDown;
    case 2:
      return Up ? mfMiddleUp : mfMiddleDown;
    default:
      return 0;
  }
}

}  // namespace kyv
