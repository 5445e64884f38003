#pragma once

#include <string>

namespace kyv::test {

// The remote-input requests, written out as a station reads them.
inline std::string KeyText(int Vk, bool Up) {
  return "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=" + std::to_string(Vk) +
         "\r\nbScan=0\r\ndwFlags=" + (Up ? "2" : "0");
}

inline std::string MouseText(int Flags, int X, int Y) {
  return "REQUEST\r\nCommand=MOUSE_EVENT\r\ndwFlags=" + std::to_string(Flags) +
         "\r\ndx=" + std::to_string(X) + "\r\ndy=" + std::to_string(Y) + "\r\ndwData=0";
}

}  // namespace kyv::test
