#include "Main/Game/CellChangeGate.h"

#include <chrono>
#include <ctime>

#include <fmt/format.h>

#include "Helpers/Log.h"
#include "Helpers/PluginSettings.h"

CellEventStateRecord CellEventState;

bool IsCellChangeGateOpen(std::int64_t nowNs, std::int64_t savedNs, std::int32_t allowedMs) noexcept {
  // Whole milliseconds, truncated towards zero, kept to 32 bits as the game's tick counts are.
  const auto elapsedMs = static_cast<std::int32_t>((nowNs - savedNs) / 1'000'000);
  return elapsedMs > allowedMs;
}

bool IsCellChangeGateOpen() noexcept {
  return IsCellChangeGateOpen(SteadyClockNanoseconds(), CellEventState.cellChangeTime,
                              PluginSettings.iAllowedCellChangeTime);
}

std::string CurrentUtcTimeText() {
  using namespace std::chrono;
  using Ticks = duration<std::int64_t, std::ratio<1, 10'000'000>>;  // seven fractional digits
  const auto now = time_point_cast<Ticks>(system_clock::now());
  const auto seconds = floor<std::chrono::seconds>(now);
  const std::time_t whole = system_clock::to_time_t(seconds);
  std::tm utc{};
  gmtime_s(&utc, &whole);
  char text[32]{};
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &utc);
  return fmt::format("{}.{:07}", text, (now - seconds).count());
}

void SaveAllowedCellChangeTime() {
  CellEventState.cellChangeTime = SteadyClockNanoseconds();
  if (Log::Enabled()) Log::Info("SaveAllowedCellChangeTime", "saved time [{}].", CurrentUtcTimeText());
}
