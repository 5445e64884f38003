#include <charconv>
#include <exception>

#include "Verbs.h"
#include "platform/Errors.h"

namespace kyv::tool {

void PrintUsage(std::ostream& out) {
  out << "Usage: kyvtool VERB ARGUMENTS\n"
         "\n"
         "  info FILE         header, index, frames by type and compression, payload bytes\n"
         "  check FILE        walks and decodes every record; exit status 0 only when the\n"
         "                    recording is sound, 1 naming the first bad record\n"
         "  make-sample OUT.kyv [--width W] [--height H] [--seconds S] [--format 0|100|101]\n"
         "                    writes a sample recording (default 1024 x 768, 20 s, format\n"
         "                    101) and its thumbnails (nails.xml, nails/) beside it\n"
         "  play ADDRESS [--speed 1|2|4|8|16|32] [--for MS] [--snapshot-every MS --out DIR]\n"
         "                    plays a recording (file, http://, ftp://) headless to its end,\n"
         "                    or a live broadcast (kyvs://HOST[:PORT]/CHANNEL, a .sms file)\n"
         "                    until interrupted or for MS; prints the position and frames\n"
         "                    shown each second, and writes a PNG of the picture every MS of\n"
         "                    recording time\n"
         "  render ADDRESS --at MS [--view WxH [--mode adaptive|original]] -o OUT.png\n"
         "                    seeks to MS and writes the picture shown there; with --view, the\n"
         "                    picture a detail view of W x H shows (reduced to fit in\n"
         "                    adaptive mode, 1:1 in original mode)\n"
         "  nails FOLDER|ADDRESS\n"
         "                    prints the thumbnails a player shows, one line each: seconds,\n"
         "                    a tab, the image path; for a web address (of a recording or\n"
         "                    its folder) downloads them into the cache folder first; exit\n"
         "                    status 1 when the index could not be downloaded\n"
         "  typelib [LIBRARY] prints the control library's type library as IDL\n"
         "  typelib --header  prints the public C/C++ header of the control's interface\n"
         "  register [LIBRARY], unregister [LIBRARY]\n"
         "                    registers or unregisters the control library (default: the\n"
         "                    installed or built libkyvplayer.so); prints the registry used\n"
         "  --help            this text\n"
         "\n"
         "Records are numbered from 0. Exit status 2 means a wrong command line.\n";
}

const char* FrameTypeName(int type) {
  static const char* const names[] = {"ftXorRect", "ftKeyFrame", "ftCursor", "ftCopyRect",
                                      "ftMarker"};
  return type >= 0 && type < 5 ? names[type] : "other";
}

const char* CompressionName(int kind) {
  static const char* const names[] = {"ckNone", "ckJpeg", "ckLzo", "ckZlib", "ckBitmap58"};
  return kind >= 0 && kind < 5 ? names[kind] : "other";
}

std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string DescribeHeadError(const std::exception& error) {
  const auto* kyvError = dynamic_cast<const EKyvError*>(&error);
  if (kyvError && kyvError->Code())
    return "error " + std::to_string(*kyvError->Code()) + ": " + kyvError->Message();
  return error.what();
}

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    PrintUsage(err);
    return kExitUsage;
  }
  const std::string& verb = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    if (verb == "--help" || verb == "-h" || verb == "help") {
      PrintUsage(out);
      return kExitOk;
    }
    if (verb == "info") return RunInfo(rest, out, err);
    if (verb == "check") return RunCheck(rest, out, err);
    if (verb == "make-sample") return RunMakeSample(rest, out, err);
    if (verb == "play") return RunPlay(rest, out, err);
    if (verb == "render") return RunRender(rest, out, err);
    if (verb == "nails") return RunNails(rest, out, err);
    if (verb == "typelib") return RunTypelib(rest, out, err);
    if (verb == "register") return RunRegister(rest, out, err);
    if (verb == "unregister") return RunUnregister(rest, out, err);
  } catch (const std::exception& e) {
    err << "kyvtool " << verb << ": " << e.what() << "\n";
    return kExitBad;
  }
  err << "kyvtool: unknown verb \"" << verb << "\"\n\n";
  PrintUsage(err);
  return kExitUsage;
}

}  // namespace kyv::tool
