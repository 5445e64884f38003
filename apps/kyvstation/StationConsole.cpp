#include "StationConsole.h"

namespace kyv::station {

void TStationConsole::Request(std::string_view Text) {
  std::lock_guard lock(FLock);
  FOut << Text;
  if (Text.empty() || Text.back() != '\n') FOut << '\n';
  FOut << '\n';
  FOut.flush();
}

void TStationConsole::Note(std::string_view Text) {
  std::lock_guard lock(FLock);
  FErr << "kyvstation: " << Text << '\n';
  FErr.flush();
}

}  // namespace kyv::station
