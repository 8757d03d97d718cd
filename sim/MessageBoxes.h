#pragma once
// Message boxes a plug-in raises: a player would see them; without a display nobody does, so the
// host prints each on standard error instead of showing it.
#include <windows.h>

namespace sim {

// Redirects module's MessageBoxA and MessageBoxW calls: each prints
//   brindlewick-sim: message box "<caption>": <text>
// and answers as if the player had pressed the box's first button.
void InterceptMessageBoxes(HMODULE module);

}  // namespace sim
