// The tick schedule of Timer2_Timer: Timer2 ticks every 5 s; the window's conta_tick counts two
// warm-up ticks, then the intake runs on every second tick (15 s, 25 s, 35 s, ... after start).
#pragma once

#include <cstdint>
#include <functional>

namespace qano {

// The window's 16-bit signed Integer (the same type as the start-up settings' Integer).
using Integer = std::int16_t;

// One tick. Below 2 the count goes up by one; at 2 the intake runs and, once it has returned,
// the count goes back to 1. A failure raised inside the intake passes through and leaves the
// count at 2.
void poll_tick(Integer& conta_tick, const std::function<void()>& elaboro_divulgazioni);

}  // namespace qano
