#include "nails/NailsIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <string_view>
#include <unordered_map>

#include "platform/TextLines.h"

namespace kyv {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// Appends n line numbers spread over [lo, hi], halving the range: the left half gets the smaller
// share of picks and the larger share of lines. Depth is log2(n).
void Pick(size_t n, size_t lo, size_t hi, std::vector<size_t>& chosen) {
  if (n == 0) return;
  const size_t mid = (lo + hi) / 2;
  if (n == 1) {
    if (chosen.size() < kMaxNails) chosen.push_back(mid);
    return;
  }
  const size_t k = n / 2;
  Pick(k, lo, mid, chosen);
  Pick(n - k, mid + 1, hi, chosen);
}

}  // namespace

std::vector<std::string_view> SplitNailsLines(std::string_view Text) {
  if (Text.substr(0, kUtf8Mark.size()) == kUtf8Mark) Text.remove_prefix(kUtf8Mark.size());
  return SplitLines(Text);
}

std::vector<size_t> ChooseNailLines(size_t LineCount) {
  std::vector<size_t> chosen;
  chosen.reserve(std::min(LineCount, kMaxNails));
  if (LineCount <= kMaxNails) {
    for (size_t i = 0; i < LineCount; ++i) chosen.push_back(i);
    return chosen;
  }
  chosen.push_back(0);
  Pick(kMaxNails - 2, 1, LineCount - 2, chosen);
  chosen.push_back(LineCount - 1);
  return chosen;
}

bool IsPlainFileName(std::string_view Name) {
  if (Name.empty() || Name.front() == '.') return false;
  if (Name.find("..") != std::string_view::npos) return false;
  for (const char c : Name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

std::string_view NailTimeText(std::string_view Line) {
  return Line.substr(0, Line.find('='));
}

std::optional<std::string_view> NailValue(std::string_view Line) {
  const size_t equals = Line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Line.substr(equals + 1);
}

std::optional<int32_t> ParseNailTime(std::string_view Text) {
  while (!Text.empty() && Text.front() == ' ') Text.remove_prefix(1);
  if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
  if (Text.empty()) return std::nullopt;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (error != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
  return value;
}

std::vector<TNailEntry> ChooseNailEntries(const std::vector<std::string_view>& Lines,
                                          std::string Dir) {
  if (Dir.empty() || Dir.back() != '/') Dir += '/';
  Dir += "nails/";
  std::vector<TNailEntry> entries;
  const std::vector<size_t> chosen = ChooseNailLines(Lines.size());
  // The first line of each chosen time text, found in one pass; the map holds at most 120
  // texts however long the index.
  std::unordered_map<std::string_view, size_t> firstOfTime;
  for (const size_t line : chosen)
    if (NailValue(Lines[line])) firstOfTime.emplace(NailTimeText(Lines[line]), line);
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (!NailValue(Lines[i])) continue;
    const auto found = firstOfTime.find(NailTimeText(Lines[i]));
    if (found != firstOfTime.end() && i < found->second) found->second = i;
  }

  for (const size_t line : chosen) {
    std::string_view text = Lines[line];
    while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
    if (text.empty()) break;
    const std::string_view timeText = NailTimeText(Lines[line]);
    const std::optional<int32_t> time = ParseNailTime(timeText);
    if (!time || Lines[line].size() == timeText.size()) break;
    const std::string_view name = *NailValue(Lines[firstOfTime.at(timeText)]);
    if (!IsPlainFileName(name) || Dir.size() + name.size() >= kNailPathBytes) continue;
    TNailEntry entry;
    entry.Path.reserve(Dir.size() + name.size());
    entry.Path.append(Dir).append(name);
    entry.Seconds = *time / 1000;
    entry.Line = line;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<std::string> ReadNailsFile(const std::string& Path) {
  const int fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) <= kMaxNailsIndexBytes) {
    std::string content(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    ssize_t n = 0;
    // Reads one byte past the size seen, so a file that grew meanwhile is noticed.
    content.resize(content.size() + 1);
    while (done < content.size() &&
           (n = ::read(fd, content.data() + done, content.size() - done)) > 0)
      done += static_cast<size_t>(n);
    if (n >= 0 && done < content.size()) {
      content.resize(done);
      text = std::move(content);
    }
  }
  ::close(fd);
  return text;
}

}  // namespace kyv
