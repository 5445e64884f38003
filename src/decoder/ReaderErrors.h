#pragma once

#include <string>
#include <string_view>

namespace kyv {

// The error codes that a source reports to the control, shared by every reader.
enum TReaderError : int {
  reDamaged = 1,
  reNoIndex = 2,
  reCannotConnect = 3,
  reServiceRefused = 4,
  reDamaged5 = 5,
  reUnknown = 6,
  reNetwork = 7,
  reInvalidUrl = 8,
  reInvalidMulticastFile = 9,
  reInvalidFormat = 10,
  reRepositionFailed = 11,
  reResolveFailed = 12,
  reIndexInvalid = 13,
  reUpgradeNeeded = 14,
  reReadFailed = 15,
};

// The text of a code, or "" for a number that is not a code.
const char* ReaderErrorText(int code) noexcept;
// What the text of a code means in English, or "" for a number that is not a code.
const char* ReaderErrorEnglish(int code) noexcept;

// A failure as a person reads it: "error CODE, TEXT (ENGLISH): CAUSE". The English goes in
// parentheses when the system's default language is not Chinese (PRC), as the menus change
// theirs; ": CAUSE" only when there is a cause.
std::string DescribeReaderFailure(int code, std::string_view cause);

}  // namespace kyv
