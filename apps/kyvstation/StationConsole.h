#pragma once

#include <mutex>
#include <ostream>
#include <string_view>

namespace kyv::station {

// The station's output: request texts as blocks on one stream (standard output), notes as
// lines on the other (standard error). Any thread; each block or line goes out whole and is
// flushed at once, so a reader of the output sees it without delay.
class TStationConsole {
 public:
  TStationConsole(std::ostream& Out, std::ostream& Err) : FOut(Out), FErr(Err) {}
  TStationConsole(const TStationConsole&) = delete;
  TStationConsole& operator=(const TStationConsole&) = delete;

  // The text byte for byte, a line end if it has none, then an empty line.
  void Request(std::string_view Text);
  // "kyvstation: " + Text on a line of its own.
  void Note(std::string_view Text);

 private:
  std::mutex FLock;  // serialises the writes of both streams
  std::ostream& FOut;
  std::ostream& FErr;
};

}  // namespace kyv::station
