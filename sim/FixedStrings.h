#pragma once
// The game's fixed strings as a caller makes and releases them (create, release): each made string
// is alive until it is released once. The count shows a leak; a second release stops the game.
#include <cstddef>
#include <cstdint>

#include "RE/B/BSFixedString.h"

namespace sim {

// The game's two operations, as the address library hands them out.
RE::BSFixedString* CreateFixedString(RE::BSFixedString* string, const char* text, std::uint32_t flags);
void ReleaseFixedString(RE::BSFixedString* string);

std::size_t LiveFixedStrings();

}  // namespace sim
