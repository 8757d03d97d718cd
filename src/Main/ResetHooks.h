#pragma once
#include <cstdint>

// Replaces the call at ResetGame+0x132F; hands over to the game's own call.
struct HandleGameResetBegin {
  static std::uint64_t HandleGameResetBeginFunc(std::uint64_t argument);
  static inline std::uintptr_t savedTarget = 0;
};

// Replaces the call at ResetGame+0x18D3; hands over to the game's own call.
struct HandleGameResetFinish {
  static std::uint64_t HandleGameResetFinishFunc();
  static inline std::uintptr_t savedTarget = 0;
};
