#pragma once
#include <cstddef>

#include "RE/T/TESObjectCELL.h"
#include "RE/T/TESObjectREFR.h"

namespace RE::Events {

// An actor has moved into another cell; cell is the cell it entered, null when there is none.
struct ActorCellChangeEvent {
  struct Event {
    TESObjectREFR* actor;
    TESObjectCELL* cell;
  };
};
static_assert(offsetof(ActorCellChangeEvent::Event, cell) == 0x08);

}  // namespace RE::Events
