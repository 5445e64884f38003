#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "Verbs.h"
#include "support/SmallSample.h"
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

}  // namespace kyv::test
