#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace kyv::test {

// A virtual X display of a test program's own: Xvfb with one Width x Height screen at 24 bits on
// a display number it picks free itself (-displayfd), ended with the object. Started() tells
// whether it came up within Timeout, Reason() why not.
class TXvfbDisplay {
 public:
  TXvfbDisplay(int Width, int Height, std::chrono::milliseconds Timeout = std::chrono::seconds(10));

  bool Started() const { return !FName.empty(); }
  const std::string& Name() const { return FName; }  // ":N", for DISPLAY
  const std::string& Reason() const { return FReason; }

 private:
  TTempFolder FFolder{"kyv_xvfb"};
  std::unique_ptr<TChildProcess> FServer;
  std::string FName;
  std::string FReason;
};

}  // namespace kyv::test
