#pragma once
#include <cstdint>

#include "RE/P/PlayerCharacter.h"

struct ActorBackgroundProcess {
  // Replaces the call at ActorAppearanceProcess+0x4F; always ends in the game's own call.
  struct TargetFuncStruct {
    static char Process(RE::Actor* actor, std::uint64_t argument);
    static inline std::uintptr_t savedTarget = 0;
  };
};
