#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "Verbs.h"
#include "writer/SampleRecording.h"

namespace kyv::test {

// What a run of the tool gave: its exit status and what it wrote.
struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// Calls the verbs in this process.
inline TRun RunVerbs(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  TRun run;
  run.Status = tool::RunTool(args, out, err);
  run.Out = out.str();
  run.Err = err.str();
  return run;
}

// A short, small recording that the tests make quickly.
inline TSampleOptions SmallSample() {
  TSampleOptions options;
  options.Width = 160;
  options.Height = 120;
  options.Seconds = 6;
  options.NailInterval = 0;
  return options;
}

}  // namespace kyv::test
