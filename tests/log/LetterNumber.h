#pragma once

#include <string>

namespace kyv::test {

// A number written with the letters a to j for its digits: the log takes lines that differ only
// in their numbers as repeats and rate-limits them, and these lines must all be written.
inline std::string LetterNumber(int Number) {
  std::string text = std::to_string(Number);
  for (char& c : text) c = static_cast<char>(c - '0' + 'a');
  return text;
}

inline int NumberOfLetters(const std::string& Text) {
  int number = 0;
  for (const char c : Text) number = number * 10 + (c - 'a');
  return number;
}

}  // namespace kyv::test
