#pragma once
#include <array>
#include <cstdint>

#include "RE/B/BGSLocation.h"
#include "RE/G/GameVM.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/P/ProcessLists.h"
#include "RE/U/UI.h"

// Game objects the plug-in reads often, re-resolved by RefreshGameObjectCache.
struct GameObjectCacheRecord {
  std::array<RE::BGSLocation*, 5> locations{};  // index 1 to 4 by city; 0 unused
  RE::PlayerCharacter* player = nullptr;
  RE::BSScript::IVirtualMachine* vm = nullptr;
  RE::ProcessLists* processLists = nullptr;
};

extern GameObjectCacheRecord GameObjectCache;

// The runtime form IDs of the four city locations, by city index.
inline constexpr std::array<std::uint32_t, 5> kCityLocationFormIDs = {0, 0x0001295A, 0x00010DFB, 0x00015FF7,
                                                                       0x00015FFE};

// Re-resolves the cache and returns the UI singleton.
RE::UI* RefreshGameObjectCache();
