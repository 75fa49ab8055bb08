#include "intake/poll_timer.h"

#include <limits>

#include "platform/failure.h"

namespace qano {

void poll_tick(Integer& conta_tick, const std::function<void()>& elaboro_divulgazioni) {
  if (conta_tick < 2) {
    // 16-bit arithmetic with its overflow test; the count never comes near the limit.
    if (conta_tick == std::numeric_limits<Integer>::max()) fail(failure::kOverflow);
    conta_tick = static_cast<Integer>(conta_tick + 1);
    return;
  }
  elaboro_divulgazioni();
  conta_tick = 1;
}

}  // namespace qano
