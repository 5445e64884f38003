#include "StationOptions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace kyv::station {

namespace {

std::optional<long> ParseWhole(const std::string& Text, long Min, long Max) {
  long value = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (Text.empty() || error != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
  if (value < Min || value > Max) return std::nullopt;
  return value;
}

std::optional<double> ParseFactor(const std::string& Text) {
  double value = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (Text.empty() || error != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
  if (!std::isfinite(value) || value < 0.01 || value > 1000) return std::nullopt;
  return value;
}

bool IsIpv4(const std::string& Text) {
  in_addr address{};
  return ::inet_pton(AF_INET, Text.c_str(), &address) == 1;
}

// "GROUP:PORT" with an IPv4 multicast group (224.0.0.0 to 239.255.255.255) and a port above 0.
bool ParseGroup(const std::string& Text, TMulticastTarget& Target) {
  const size_t colon = Text.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string group = Text.substr(0, colon);
  const std::optional<long> port = ParseWhole(Text.substr(colon + 1), 1, 65535);
  in_addr address{};
  if (!port || ::inet_pton(AF_INET, group.c_str(), &address) != 1) return false;
  const uint32_t host = ntohl(address.s_addr);
  if ((host >> 28) != 0xE) return false;
  Target.Group = group;
  Target.Port = static_cast<uint16_t>(*port);
  return true;
}

}  // namespace

void PrintUsage(std::ostream& Out) {
  Out << "Usage: kyvstation [OPTIONS] RECORDING.kyv\n"
         "\n"
         "Serves a recording as a live broadcast, looping it with times that keep increasing.\n"
         "Players connect over TCP with an address \"kyvs://HOST[:PORT]/CHANNEL\"; each starts\n"
         "at a key frame. Every \"REQUEST\" text a player sends is printed on standard output,\n"
         "followed by an empty line; notes go to standard error.\n"
         "\n"
         "  --port N             TCP port to listen on (default 1804; 0 lets the system choose)\n"
         "  --bind ADDR          IPv4 address to listen on (default 0.0.0.0: every interface)\n"
         "  --title TEXT         station information sent in the login reply; likewise\n"
         "  --author TEXT        --author, --copyright and --description\n"
         "  --copyright TEXT\n"
         "  --description TEXT\n"
         "  --deny               refuse every player (\"Permission=False\")\n"
         "  --index-text TEXT    a text sent to each player right after \"Start\"; likewise\n"
         "  --script-text TEXT   script and plain texts; each option may be repeated and the\n"
         "  --string-text TEXT   texts go out in the order given\n"
         "  --speed FACTOR       send the frames FACTOR times faster than recorded (0.01-1000)\n"
         "  --no-pace            send the frames as fast as each player takes them\n"
         "  --max-players N      players served at once (default 32, at most 1000)\n";
  if (MulticastAvailable())
    Out << "  --multicast GROUP:PORT  also send the broadcast to an IPv4 multicast group\n"
           "  --interface ADDR     the local IPv4 address to send the multicast from\n"
           "  --ttl N              hops the multicast datagrams may take (default 1)\n"
           "  --sms FILE           write the group's description file for players\n";
  Out << "  --help               this text\n"
         "\n"
         "SIGINT or SIGTERM ends the station cleanly. Exit status 2 means a wrong command line,\n"
         "1 a failure while starting or serving.\n";
}

TCommandLine ParseCommandLine(const std::vector<std::string>& Args) {
  TCommandLine result;
  TStationOptions& options = result.Options;
  const auto fail = [&](std::string Error) {
    result.Action = TCommandLine::caError;
    result.Error = std::move(Error);
    return result;
  };
  std::optional<std::string> interface, sms, ttl;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (arg == "--help" || arg == "-h") {
      result.Action = TCommandLine::caHelp;
      return result;
    }
    if (arg == "--deny") {
      options.Deny = true;
      continue;
    }
    if (arg == "--no-pace") {
      options.Paced = false;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      if (!options.Recording.empty()) return fail("more than one recording given: " + arg);
      options.Recording = arg;
      continue;
    }
    static const char* const kWithValue[] = {
        "--port",        "--bind",       "--title",       "--author",      "--copyright",
        "--description", "--index-text", "--script-text", "--string-text", "--speed",
        "--max-players", "--multicast",  "--interface",   "--ttl",         "--sms"};
    const bool known =
        std::find(std::begin(kWithValue), std::end(kWithValue), arg) != std::end(kWithValue);
    if (!known || (!MulticastAvailable() && (arg == "--multicast" || arg == "--interface" ||
                                             arg == "--ttl" || arg == "--sms")))
      return fail("unknown option " + arg);
    if (i + 1 >= Args.size()) return fail("option " + arg + " needs a value");
    const std::string& value = Args[++i];
    if (arg == "--port") {
      const std::optional<long> port = ParseWhole(value, 0, 65535);
      if (!port) return fail("--port needs a number from 0 to 65535, not \"" + value + "\"");
      options.Port = static_cast<uint16_t>(*port);
    } else if (arg == "--bind") {
      if (!IsIpv4(value)) return fail("--bind needs an IPv4 address, not \"" + value + "\"");
      options.Bind = value;
    } else if (arg == "--title") {
      options.Title = value;
    } else if (arg == "--author") {
      options.Author = value;
    } else if (arg == "--copyright") {
      options.Copyright = value;
    } else if (arg == "--description") {
      options.Description = value;
    } else if (arg == "--index-text") {
      options.Texts.push_back({mtIndex, value});
    } else if (arg == "--script-text") {
      options.Texts.push_back({mtScript, value});
    } else if (arg == "--string-text") {
      options.Texts.push_back({mtString, value});
    } else if (arg == "--speed") {
      const std::optional<double> speed = ParseFactor(value);
      if (!speed) return fail("--speed needs a factor from 0.01 to 1000, not \"" + value + "\"");
      options.Speed = *speed;
    } else if (arg == "--max-players") {
      const std::optional<long> count = ParseWhole(value, 1, 1000);
      if (!count) return fail("--max-players needs a number from 1 to 1000, not \"" + value + "\"");
      options.MaxPlayers = static_cast<int>(*count);
    } else if (MulticastAvailable() && arg == "--multicast") {
      TMulticastTarget target;
      if (!ParseGroup(value, target))
        return fail("--multicast needs GROUP:PORT with an IPv4 multicast group, not \"" + value +
                    "\"");
      options.Multicast = target;
    } else if (MulticastAvailable() && arg == "--interface") {
      if (!IsIpv4(value)) return fail("--interface needs an IPv4 address, not \"" + value + "\"");
      interface = value;
    } else if (MulticastAvailable() && arg == "--ttl") {
      if (!ParseWhole(value, 0, 255)) return fail("--ttl needs a number from 0 to 255");
      ttl = value;
    } else if (MulticastAvailable() && arg == "--sms") {
      sms = value;
    } else {
      return fail("unknown option " + arg);
    }
  }
  if (options.Recording.empty()) return fail("no recording given");
  if ((interface || sms || ttl) && !options.Multicast)
    return fail("--interface, --ttl and --sms need --multicast");
  if (options.Multicast && !options.Paced)
    return fail("--no-pace cannot go with --multicast: a group cannot slow the station down");
  if (options.Multicast) {
    if (interface) options.Multicast->Interface = *interface;
    if (ttl) options.Multicast->Ttl = static_cast<int>(*ParseWhole(*ttl, 0, 255));
    if (sms) options.Multicast->SmsFile = *sms;
  }
  result.Action = TCommandLine::caRun;
  return result;
}

}  // namespace kyv::station
