#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "source/live/StationMessageHeader.h"

namespace kyv::station {

// A text that the station sends each player right after "Start".
struct TStationText {
  TStationMessageType Type = mtString;
  std::string Text;
};

// Where the station also sends its broadcast as multicast datagrams.
struct TMulticastTarget {
  std::string Group;
  uint16_t Port = 0;
  std::string Interface;  // "" = the system's default interface
  int Ttl = 1;
  std::filesystem::path SmsFile;  // empty: none is written
};

// What the command line asks of the station.
struct TStationOptions {
  std::filesystem::path Recording;
  uint16_t Port = 1804;
  std::string Bind = "0.0.0.0";
  bool Deny = false;
  std::optional<std::string> Title, Author, Copyright, Description;
  std::vector<TStationText> Texts;
  double Speed = 1.0;  // frames go out this many times faster than recorded
  bool Paced = true;   // false: as fast as each player takes them
  int MaxPlayers = 32;
  std::optional<TMulticastTarget> Multicast;
};

// The result of reading a command line: options to run with, a request for help, or an error.
struct TCommandLine {
  enum TAction { caRun, caHelp, caError } Action = caError;
  TStationOptions Options;
  std::string Error;  // caError: what is wrong, one line
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Reads the arguments after the program name. Pure: any thread.
TCommandLine ParseCommandLine(const std::vector<std::string>& Args);

void PrintUsage(std::ostream& Out);

// Whether this build can send multicast (--multicast).
bool MulticastAvailable();

}  // namespace kyv::station
