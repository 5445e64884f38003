#include <filesystem>
#include <optional>

#include "Verbs.h"
#include "platform/FormatSeconds.h"
#include "writer/SampleRecording.h"

namespace kyv::tool {

int RunMakeSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto usage = [&](const std::string& what) {
    err << "kyvtool make-sample: " << what << " (see kyvtool --help)\n";
    return kExitUsage;
  };
  TSampleOptions options;
  std::optional<std::string> path;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--")) {
      if (path) return usage("more than one output file");
      path = arg;
      continue;
    }
    if (i + 1 >= args.size()) return usage(arg + " needs a value");
    const std::optional<int> value = ParseInt(args[++i]);
    if (!value) return usage(arg + " needs a whole number, not \"" + args[i] + "\"");
    if (arg == "--width") {
      options.Width = *value;
    } else if (arg == "--height") {
      options.Height = *value;
    } else if (arg == "--seconds") {
      options.Seconds = *value;
    } else if (arg == "--format") {
      if (*value == 0)
        options.Version = kKyvVersion0;
      else if (*value == 100)
        options.Version = kKyvVersion100;
      else if (*value == 101)
        options.Version = kKyvVersion101;
      else
        return usage("--format takes 0, 100 or 101");
    } else {
      return usage("unknown option " + arg);
    }
  }
  if (!path) return usage("expected the output file OUT.kyv");
  if (options.Width < 64 || options.Width > 65535 || options.Height < 48 || options.Height > 65535)
    return usage("the screen must be 64 x 48 to 65535 x 65535 pixels");
  if (options.Seconds < 1 || options.Seconds > 4000000)
    return usage("--seconds must be 1 to 4000000");

  const std::filesystem::path target(*path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
  const TSampleSummary summary = WriteSampleRecording(target, options);
  out << "Wrote " << target.string() << ": " << options.Width << " x " << options.Height << ", "
      << FormatSeconds(summary.Duration / 1000) << ", " << summary.Frames << " frames, "
      << summary.Index.size() << " key frames indexed, " << summary.FileSize << " bytes\n";
  if (!summary.NailsDir.empty())
    out << "Wrote " << summary.Nails.size()
        << " thumbnails: " << (summary.NailsDir / "nails.xml").string() << " and "
        << (summary.NailsDir / "nails").string() << "\n";
  return kExitOk;
}

}  // namespace kyv::tool
