#include "log/LineLimiter.h"

namespace kyv {

std::string TLineLimiter::KindOf(std::string_view Text) {
  std::string kind;
  kind.reserve(Text.size());
  bool inNumber = false;
  for (const char c : Text) {
    const bool digit = c >= '0' && c <= '9';
    if (digit && !inNumber) kind.push_back('#');
    if (!digit) kind.push_back(c);
    inNumber = digit;
  }
  return kind;
}

std::string TLineLimiter::SummaryText(uint64_t Count, std::string_view Last) {
  return std::to_string(Count) + " more like: " + std::string(Last);
}

std::vector<std::string> TLineLimiter::Take(std::string_view Text, uint32_t Now) {
  std::vector<std::string> lines;
  for (auto it = FKinds.begin(); it != FKinds.end();) {
    TKind& kind = it->second;
    if (Now - kind.WindowStart < kWindowMs) {
      ++it;
      continue;
    }
    if (kind.HeldBack > 0) lines.push_back(SummaryText(kind.HeldBack, kind.Last));
    it = FKinds.erase(it);
  }
  if (FKinds.size() >= kMaxKinds) {
    for (auto it = FKinds.begin(); it != FKinds.end();)
      it = it->second.HeldBack == 0 ? FKinds.erase(it) : std::next(it);
  }
  auto [it, made] = FKinds.try_emplace(KindOf(Text));
  TKind& kind = it->second;
  if (made) kind.WindowStart = Now;
  if (kind.Shown < kLinesPerWindow) {
    ++kind.Shown;
    lines.emplace_back(Text);
  } else {
    ++kind.HeldBack;
    kind.Last = Text;
  }
  return lines;
}

}  // namespace kyv
