#include <csignal>

#include <atomic>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Station.h"
#include "StationConsole.h"
#include "StationOptions.h"

namespace {

using namespace kyv::station;

// The station that SIGINT and SIGTERM stop; a signal before it exists is remembered.
std::atomic<TStation*> gStation{nullptr};
volatile std::sig_atomic_t gStopAsked = 0;

void OnStopSignal(int) {
  gStopAsked = 1;
  if (TStation* station = gStation.load()) station->Stop();
}

void InstallSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A player that vanishes must not end the station; sends say so themselves.
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  const TCommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (command.Action == TCommandLine::caHelp) {
    PrintUsage(std::cout);
    return kExitOk;
  }
  if (command.Action == TCommandLine::caError) {
    std::cerr << "kyvstation: " << command.Error << "\n(kyvstation --help lists the options)\n";
    return kExitUsage;
  }
  InstallSignals();
  TStationConsole console(std::cout, std::cerr);
  try {
    TStation station(command.Options, console);
    // Unregistered before the station goes, also when Run fails.
    struct TRegistration {
      explicit TRegistration(TStation& Station) { gStation.store(&Station); }
      ~TRegistration() { gStation.store(nullptr); }
    } registration(station);
    if (gStopAsked) station.Stop();
    station.Run();
  } catch (const std::exception& e) {
    console.Note(std::string("error: ") + e.what());
    return kExitFailure;
  }
  return kExitOk;
}
