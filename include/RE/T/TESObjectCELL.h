#pragma once
#include "RE/T/TESForm.h"

namespace RE {

// A cell of the game: the plug-in only compares form IDs of cells.
struct TESObjectCELL : TESForm {};

}  // namespace RE
