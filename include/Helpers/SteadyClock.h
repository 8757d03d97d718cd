#pragma once
// The one clock the plug-in measures its waits with.
#include <chrono>
#include <cstdint>

// Nanoseconds of the steady clock: the waits the settings give in milliseconds are measured in it.
inline std::int64_t SteadyClockNanoseconds() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
