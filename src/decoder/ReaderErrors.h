#pragma once

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

}  // namespace kyv
