#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kyv {

// Keeps repeated lines from flooding the log. Lines alike (the same text once its numbers are
// set aside, so "frame at 10 ms" and "frame at 20 ms" are alike) are written at most
// kLinesPerWindow times in each window of kWindowMs; the rest are counted, and one line
// "N more like: TEXT" follows once the window has passed, at the next line of any kind. Times
// are timeGetTime milliseconds; differences are taken unsigned, so the clock's wrap does no harm.
//
// Threads: not locked; the log's own lock guards it.
class TLineLimiter {
 public:
  static constexpr uint32_t kWindowMs = 1000;
  static constexpr int kLinesPerWindow = 5;
  // Kinds remembered at once; beyond it the quiet ones are forgotten.
  static constexpr size_t kMaxKinds = 64;

  // The lines to write now for Text at Now: the summaries of windows that have passed, then
  // Text itself unless it is held back.
  std::vector<std::string> Take(std::string_view Text, uint32_t Now);

  // What makes lines alike: Text with every run of digits replaced by "#".
  static std::string KindOf(std::string_view Text);
  static std::string SummaryText(uint64_t Count, std::string_view Last);

 private:
  struct TKind {
    uint32_t WindowStart = 0;
    int Shown = 0;
    uint64_t HeldBack = 0;
    std::string Last;  // the last line held back
  };
  std::unordered_map<std::string, TKind> FKinds;
};

}  // namespace kyv
