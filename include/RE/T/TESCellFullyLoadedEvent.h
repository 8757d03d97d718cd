#pragma once
#include "RE/T/TESObjectCELL.h"

namespace RE::Events {

// A cell has finished loading; its first field is the cell, null when there is none.
struct TESCellFullyLoadedEvent {
  TESObjectCELL* cell;
};

}  // namespace RE::Events
