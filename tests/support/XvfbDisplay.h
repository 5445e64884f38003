#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace kyv::test {

// A virtual X display of its own for a test program: Xvfb on a display number that the server
// picks free itself (-displayfd), ended with the object.
class TXvfbDisplay {
 public:
  // Starts a server with one screen of Width x Height at 24 bits and waits up to Timeout for it
  // to be ready. Started() tells whether it is; Reason() says why not.
  TXvfbDisplay(int Width, int Height, std::chrono::milliseconds Timeout = std::chrono::seconds(10));
  ~TXvfbDisplay();
  TXvfbDisplay(const TXvfbDisplay&) = delete;
  TXvfbDisplay& operator=(const TXvfbDisplay&) = delete;

  bool Started() const { return !FName.empty(); }
  // ":N", for DISPLAY.
  const std::string& Name() const { return FName; }
  const std::string& Reason() const { return FReason; }

 private:
  TTempFolder FFolder{"kyv_xvfb"};
  std::unique_ptr<TChildProcess> FServer;
  std::string FName;
  std::string FReason;
};

}  // namespace kyv::test
