#pragma once

// A call that might never return (a JACK server that hangs, a driver that
// stalls) run on a helper thread and waited for with a bound.

#include <chrono>
#include <functional>

namespace tolva {

// [UI] Runs `call` on a new thread and waits at most `limit` for it. True when
// it returned in time. On false the thread is left to finish (or not) on its
// own, so `call` must own, by value, everything it touches.
bool runBounded(std::function<void()> call, std::chrono::milliseconds limit);

}  // namespace tolva
