#pragma once
// The game's event sources that the plug-in subscribes to, and the game raising their events.
#include <string>
#include <vector>

#include "GameWorld.h"
#include "RE/B/BSTEvent.h"
#include "RE/T/TESObjectREFR.h"

namespace RE {
// The game's event source: its sinks, in the order they were added.
struct BSTEventSource {
  std::vector<BSTEventSink*> sinks;
};
}  // namespace RE

namespace sim {

// Every sink of the source hears of the event through slot 1, until one says stop.
void RaiseEvent(RE::BSTEventSource& source, const void* event);

// The name a source goes by in the record of registrations, and that record: one name for each
// sink added, in the order the plug-in added them.
void NameEventSource(const RE::BSTEventSource* source, const char* name);
const std::vector<std::string>& SinkRegistrations();

// The game sets up a reference's 3D: every sink of the source hears of it through slot 1.
void RaiseReferenceSet3d(RE::TESObjectREFR* reference);
std::size_t SinkCount();

// The game loads a save: the save/load event, then the game-loaded event, each to every sink of its
// source. The plug-in reads nothing of either.
void RaiseSaveLoaded();
void RaiseGameLoaded();

std::vector<ModelledAddress> EventSourceAddresses();

}  // namespace sim
