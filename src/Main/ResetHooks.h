#pragma once
#include <atomic>
#include <cstdint>

// Replaces the call at ResetGame+0x132F: puts the cities' leveled lists back as the game had them
// before the game resets its state, then hands over to the game's own call.
struct HandleGameResetBegin {
  static std::uint64_t HandleGameResetBeginFunc(std::uint64_t argument);
  static inline std::atomic<std::uintptr_t> savedTarget{0};
};

// Replaces the call at ResetGame+0x18D3: makes the plug-in's changes again once the reset is done,
// then hands over to the game's own call.
struct HandleGameResetFinish {
  static std::uint64_t HandleGameResetFinishFunc();
  static inline std::atomic<std::uintptr_t> savedTarget{0};
};
