#pragma once
#include "RE/T/TESForm.h"

namespace RE {

// The game's actor reference; its layout comes with the work that reads it.
struct Actor : TESForm {};

// The player's reference.
struct PlayerCharacter : Actor {};

}  // namespace RE
