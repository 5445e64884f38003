#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kyv/kyvplayer.h"

namespace kyv::player {

// What the command line asks of the player.
struct TPlayerOptions {
  std::string Address;               // a file or address to open; "" for none
  std::optional<int32_t> At;         // start position in ms
  bool Paused = false;               // open without playing
  std::optional<TDisplayMode> Mode;  // display mode
  std::string Screenshot;            // PNG to write, then quit; "" for none
  std::optional<int32_t> After;      // screenshot this long after the start instead of after
                                     // the first picture
  bool Help = false;
  bool Version = false;
};

// A command line the player cannot follow; the text says why.
class EUsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Reads the arguments after the program's name. Both "--at 5000" and "--at=5000" are taken;
// "--" ends the options. The toolkit's own options ("-platform offscreen", "-display :1" ...)
// are passed over here, the toolkit reads them. Raises EUsageError.
TPlayerOptions ParseCommandLine(const std::vector<std::string>& Args);

// The text of --help.
std::string UsageText();

}  // namespace kyv::player
