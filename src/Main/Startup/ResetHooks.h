#pragma once
#include <cstdint>

#include "SFSE/Trampoline.h"

// Replaces the call at ResetGame+0x132F: puts the cities' leveled lists back as the game had them
// before the game resets its state, then hands over to the game's own call.
struct HandleGameResetBegin {
  static std::uint64_t HandleGameResetBeginFunc(std::uint64_t argument);
  static inline SFSE::SavedTarget<std::uint64_t(std::uint64_t)> savedTarget;
};

// Replaces the call at ResetGame+0x18D3: makes the plug-in's changes again once the reset is done,
// then hands over to the game's own call.
struct HandleGameResetFinish {
  static std::uint64_t HandleGameResetFinishFunc();
  static inline SFSE::SavedTarget<std::uint64_t()> savedTarget;
};
