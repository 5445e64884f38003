#include "XvfbDisplay.h"

#include <regex>
#include <thread>

namespace kyv::test {

TXvfbDisplay::TXvfbDisplay(int Width, int Height, std::chrono::milliseconds Timeout) {
  const std::filesystem::path output = FFolder / "xvfb.txt";
  // The server writes the number of the display it took to descriptor 1 (the output file) once
  // it accepts clients.
  FServer = std::make_unique<TChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0",
                               std::to_string(Width) + "x" + std::to_string(Height) + "x24",
                               "-nolisten", "tcp", "-noreset"},
      output);
  if (!FServer->Started()) {
    FReason = "Xvfb cannot be started (is the xvfb package installed?)";
    return;
  }
  const std::regex number(R"((^|\n)([0-9]+)\n)");
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    const std::string text = ReadTextFile(output);
    std::smatch match;
    if (std::regex_search(text, match, number)) {
      FName = ":" + match[2].str();
      return;
    }
    if (!FServer->Running() || std::chrono::steady_clock::now() >= deadline) {
      FReason = "Xvfb did not start: " + text;
      FServer.reset();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace kyv::test
