#pragma once
// Test helper: the code of the EngineError a call raises (a test failure when it raises none).

#include <gtest/gtest.h>

#include "tarnwick/core/error.h"

namespace tarnwick::testing {

template <class F>
ErrorCode CodeOf(F&& f) {
  try {
    f();
  } catch (const EngineError& e) {
    return e.code();
  }
  ADD_FAILURE() << "no EngineError raised";
  return ErrorCode::InvalidArgument;
}

}  // namespace tarnwick::testing
