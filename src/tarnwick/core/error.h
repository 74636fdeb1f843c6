#pragma once
// The engine's error of a call: arithmetic and file failures that abandon the current call.
// Expected failures are never thrown; they are flags and messages on the object.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick {

// Numbered as the host's run-time errors, so a caller can match a number it already knows.
enum class ErrorCode : std::int32_t {
  InvalidArgument = 5,  // invalid procedure call or argument
  Overflow = 6,
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,
  DivisionByZero = 11,
  TypeMismatch = 13,
  FileNotFound = 53,
  ReadPastEnd = 62,  // input past end of file
  PermissionDenied = 70,
  FileAccess = 75,  // path/file access error (also write failures such as a full disk)
};

// The host's text for each code, e.g. "Division by zero".
std::string_view ErrorText(ErrorCode code);

class EngineError : public std::runtime_error {
 public:
  explicit EngineError(ErrorCode code);
  EngineError(ErrorCode code, const std::string& detail);
  ErrorCode code() const noexcept { return code_; }
  std::int32_t number() const noexcept { return static_cast<std::int32_t>(code_); }

 private:
  ErrorCode code_;
};

[[noreturn]] void Raise(ErrorCode code);
[[noreturn]] void Raise(ErrorCode code, const std::string& detail);

}  // namespace tarnwick
