// The failure number a call ends with, or 0 when it ends normally: for tables of calls and the
// failures they must give.
#pragma once

#include <functional>

#include "platform/failure.h"

namespace qano::testing {

inline int failure_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

}  // namespace qano::testing
