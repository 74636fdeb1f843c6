#include "tarnwick/core/error.h"

namespace tarnwick {

std::string_view ErrorText(ErrorCode code) {
  switch (code) {
    case ErrorCode::InvalidArgument: return "Invalid procedure call or argument";
    case ErrorCode::Overflow: return "Overflow";
    case ErrorCode::OutOfMemory: return "Out of memory";
    case ErrorCode::SubscriptOutOfRange: return "Subscript out of range";
    case ErrorCode::DivisionByZero: return "Division by zero";
    case ErrorCode::TypeMismatch: return "Type mismatch";
    case ErrorCode::FileNotFound: return "File not found";
    case ErrorCode::ReadPastEnd: return "Input past end of file";
    case ErrorCode::PermissionDenied: return "Permission denied";
    case ErrorCode::FileAccess: return "Path/File access error";
  }
  return "Engine error";
}

EngineError::EngineError(ErrorCode code)
    : std::runtime_error(std::string(ErrorText(code))), code_(code) {}

EngineError::EngineError(ErrorCode code, const std::string& detail)
    : std::runtime_error(std::string(ErrorText(code)) + (detail.empty() ? "" : ": " + detail)),
      code_(code) {}

void Raise(ErrorCode code) { throw EngineError(code); }
void Raise(ErrorCode code, const std::string& detail) { throw EngineError(code, detail); }

}  // namespace tarnwick
