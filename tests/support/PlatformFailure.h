#pragma once
#include <functional>

#include "core/Errors.h"

namespace qv::test {

// The error a call throws; number 0 when it throws none.
inline PlatformError Failure(const std::function<void()>& call) {
  try {
    call();
  } catch (const PlatformError& e) {
    return e;
  }
  return PlatformError(0, "");
}

}  // namespace qv::test
