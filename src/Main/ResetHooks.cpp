#include "Main/ResetHooks.h"

// The work around the game's reset comes later; the game's own call always runs.

std::uint64_t HandleGameResetBegin::HandleGameResetBeginFunc(std::uint64_t argument) {
  using Target = std::uint64_t (*)(std::uint64_t);
  return reinterpret_cast<Target>(savedTarget)(argument);
}

std::uint64_t HandleGameResetFinish::HandleGameResetFinishFunc() {
  using Target = std::uint64_t (*)();
  return reinterpret_cast<Target>(savedTarget)();
}
