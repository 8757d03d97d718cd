#pragma once
// The game's process lists: every actor in high process, near the player or far, run-time or
// editor-placed, by its 32-bit handle in the singleton's array (count at 0x58, array at 0x60).
#include <vector>

#include "RE/P/PlayerCharacter.h"

namespace sim {

// Gives the actor a handle and appends it; nothing when it is in already.
void AddToProcessLists(RE::Actor* actor);
// Takes the actor's handle out of the array, keeping the order of the others.
void RemoveFromProcessLists(RE::Actor* actor);
std::vector<RE::Actor*> ActorsInProcessLists();
bool IsInProcessLists(const RE::Actor* actor);

}  // namespace sim
