#pragma once
// Everything the plug-in keeps between the game's calls, in one place: what start-up builds, what
// the handlers, hooks and console read and change. Alive until the process ends; tests reset it.
#include <cstdint>
#include <deque>

#include "Main/Cities.h"
#include "Main/GameObjectCache.h"
#include "Main/LeveledLists.h"
#include "Main/LocationData.h"
#include "RE/B/BGSKeyword.h"

struct PluginStateRecord {
  // The game executable's module handle, taken at load.
  std::uintptr_t gameModuleBase = 0;
  PerCity<LocationData> cities;
  // Published when a city's data is applied; null before, so such a city matches no citizen.
  PerCity<RE::BGSKeyword*> citizenKeywords{};
  // In the order of saving. A deque: a record found by name stays where it is when more are saved.
  std::deque<SavedLeveledListData> SavedLeveledLists;
  GameObjectCacheRecord GameObjectCache;
};

extern PluginStateRecord PluginState;

// Back to the state of a freshly loaded plug-in, settings, unique NPC records, cell-event state and
// stored vanilla game settings, the appearance process and the kept city folders (their own records,
// beside this one) included; for tests.
void ResetPluginState();

// The game module base taken at load; code that runs without the host (the in-process tests) falls
// back to the same call.
std::uintptr_t GameModuleBase() noexcept;
