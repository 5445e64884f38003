#pragma once

#include <string>

namespace kyv::test {

// The records the global log received since construction. The test program points the log at
// a temporary folder of its own before anything logs.
class TLogWatch {
 public:
  TLogWatch();
  // Text written to today's log file since construction.
  std::string Added() const;
  // Occurrences of Text among the added records.
  int Count(const std::string& Text) const;

 private:
  size_t FStart;
};

}  // namespace kyv::test
