#include "source/live/StationText.h"

namespace kyv {

namespace {

bool SameAsciiNoCase(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    char a = A[i], b = B[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> FindLineValue(std::string_view Text, std::string_view Name) {
  for (const std::string_view line : SplitLines(Text)) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameAsciiNoCase(line.substr(0, equals), Name)) return std::string(line.substr(equals + 1));
  }
  return std::nullopt;
}

}  // namespace kyv
