#pragma once
// The game's event sources that the plug-in subscribes to, and the game raising their events.
#include <vector>

#include "GameWorld.h"
#include "RE/B/BSTEvent.h"
#include "RE/T/TESObjectREFR.h"

namespace sim {

// The game sets up a reference's 3D: every sink of the source hears of it through slot 1.
void RaiseReferenceSet3d(RE::TESObjectREFR* reference);
std::size_t SinkCount();

std::vector<ModelledAddress> EventSourceAddresses();

}  // namespace sim
