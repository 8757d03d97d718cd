#pragma once
// Another mod got to one of the game's patched calls first and put a jump there.
#include <string>

namespace sim {

// site: "reset-begin", "reset-finish" or "appearance"; false for any other name.
bool ApplyForeignPatch(const std::string& site);

}  // namespace sim
