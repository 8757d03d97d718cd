#pragma once
// Brings a city's unique NPCs into the world at its encounter points near the player, through the
// plug-in's game script, and removes stray copies of those already present.
#include <vector>

#include "Main/Cities/CityRecord.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/T/TESNPC.h"

// The number of "PlaceUniqueNPC" calls made; -1 when the city has no unique NPCs or no encounter
// point, or an encounter point drawn is unusable.
int PlaceUniqueNPCs(CityRecord& city);

// How many run-time actors near the player (or in the player's location) wear the appearance. With
// bDynamicCleanUpUniqueNPCs on, each is appended once to found. 0 for a null appearance or list.
int GetSpawnedUniqueNPCCount(RE::TESNPC* appearance, std::vector<RE::Actor*>* found);
