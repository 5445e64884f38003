#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kyv {

// The thumbnail index "nails.xml": plain text in the locale's code set, one "time=file name"
// line per thumbnail, the time in milliseconds. These functions are pure and may run on any
// thread.

// The longest index read or downloaded; a longer one is refused whole.
inline constexpr uint64_t kMaxNailsIndexBytes = 4u << 20;
// At most this many thumbnails come from one index.
inline constexpr size_t kMaxNails = 120;
// Size of the path field of the nail record: a path of this many bytes or more does not fit.
inline constexpr size_t kNailPathBytes = 2048;

// The lines of Text: CR LF, LF or CR ends a line; a last line without an end counts, an end at
// the very end adds no empty line. A UTF-8 byte-order mark in front is dropped.
std::vector<std::string_view> SplitNailsLines(std::string_view Text);

// The line numbers shown for an index of LineCount lines, in order: all of them up to 120;
// beyond that the first, 118 spread over the middle by halving (some repeat for 121 to 129
// lines) and the last.
std::vector<size_t> ChooseNailLines(size_t LineCount);

// True for a plain file name: not empty, no '/', '\\', "..", control character or leading '.'.
// Only such names are fetched or read, so nothing outside the "nails" folder is ever touched.
bool IsPlainFileName(std::string_view Name);

// The text before the first '=' of Line, or the whole line when it holds none.
std::string_view NailTimeText(std::string_view Line);
// The text after the first '=' of Line; nullopt when it holds none.
std::optional<std::string_view> NailValue(std::string_view Line);
// A time text as a whole 32-bit number (leading blanks and a sign allowed); nullopt otherwise.
std::optional<int32_t> ParseNailTime(std::string_view Text);

// One thumbnail to show.
struct TNailEntry {
  std::string Path;  // Dir + "nails/" + file name
  int32_t Seconds = 0;
  size_t Line = 0;  // the chosen line it came from
};

// The thumbnails of an index whose lines are Lines, for the thumbnail folder Dir (a '/' is added
// when it does not end in one). Follows the chosen lines in order and stops at the first empty
// one and at the first whose time is not a whole number; the file name is that of the first line
// with the same time text. An entry whose name is not plain or whose path would not fit the nail
// record is skipped.
std::vector<TNailEntry> ChooseNailEntries(const std::vector<std::string_view>& Lines,
                                          std::string Dir);

// The content of a local index file; nullopt when it is missing, not a regular file, unreadable
// or longer than kMaxNailsIndexBytes. Does not block on a pipe.
std::optional<std::string> ReadNailsFile(const std::string& Path);

}  // namespace kyv
