#pragma once

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace kyv {

// A failure of this system, carrying the text that reaches the log and the user, and optionally
// the numeric code that a source posts to the control.
class EKyvError : public std::exception {
 public:
  explicit EKyvError(std::string message, std::optional<int> code = std::nullopt)
      : FMessage(std::move(message)), FCode(code) {}

  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const noexcept { return FMessage; }
  std::optional<int> Code() const noexcept { return FCode; }

 private:
  std::string FMessage;
  std::optional<int> FCode;
};

// A consistency check on a system result failed; handled like any other failure.
class EAssertionFailed : public EKyvError {
 public:
  using EKyvError::EKyvError;
};

// Raises EAssertionFailed naming the failed condition. Active in every build type.
[[noreturn]] void KyvAssertFailed(const char* condition, const char* file, int line);

}  // namespace kyv

#define KYV_ASSERT(cond) \
  ((cond) ? static_cast<void>(0) : ::kyv::KyvAssertFailed(#cond, __FILE__, __LINE__))
