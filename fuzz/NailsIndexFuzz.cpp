// Thumbnail indexes of any content through the line splitting, the choice of lines and the
// entries built from them. The first two bytes set the length of the thumbnail folder's path, so
// that paths near the nail record's 2048 bytes are reached; the next four a line count for the
// choice alone.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "nails/NailsIndex.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckChoice(size_t count) {
  const std::vector<size_t> chosen = kyv::ChooseNailLines(count);
  Check(chosen.size() == std::min(count, kyv::kMaxNails));
  Check(std::is_sorted(chosen.begin(), chosen.end()));
  if (count > 0) Check(chosen.front() == 0 && chosen.back() == count - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6 || size > kyv::kMaxNailsIndexBytes) return 0;
  const size_t dirLength = ((size_t{data[0]} << 8) | data[1]) % 2100;
  const uint32_t count = uint32_t{data[2]} | uint32_t{data[3]} << 8 | uint32_t{data[4]} << 16 |
                         uint32_t{data[5]} << 24;
  CheckChoice(count % 100000);

  const std::string_view text(reinterpret_cast<const char*>(data + 6), size - 6);
  const std::vector<std::string_view> lines = kyv::SplitNailsLines(text);
  for (const std::string_view line : lines)
    Check(line.find_first_of("\r\n") == std::string_view::npos);
  CheckChoice(lines.size());

  const std::string dir = "/" + std::string(dirLength, 'd') + "/";
  const std::string nails = dir + "nails/";
  const std::vector<kyv::TNailEntry> entries = kyv::ChooseNailEntries(lines, dir);
  Check(entries.size() <= kyv::kMaxNails);
  size_t previous = 0;
  for (const kyv::TNailEntry& entry : entries) {
    Check(entry.Path.size() < kyv::kNailPathBytes);
    Check(entry.Path.compare(0, nails.size(), nails) == 0);
    Check(kyv::IsPlainFileName(std::string_view(entry.Path).substr(nails.size())));
    Check(entry.Line < lines.size() && entry.Line >= previous);
    previous = entry.Line;
    const auto time = kyv::ParseNailTime(kyv::NailTimeText(lines[entry.Line]));
    Check(time && entry.Seconds == *time / 1000);
  }
  return 0;
}
