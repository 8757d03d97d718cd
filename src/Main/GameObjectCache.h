#pragma once
#include "Main/Cities.h"
#include "RE/B/BGSLocation.h"
#include "RE/G/GameVM.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/P/ProcessLists.h"
#include "RE/U/UI.h"

// Game objects the plug-in reads often, re-resolved by RefreshGameObjectCache.
struct GameObjectCacheRecord {
  PerCity<RE::BGSLocation*> locations{};
  RE::PlayerCharacter* player = nullptr;
  RE::BSScript::IVirtualMachine* vm = nullptr;
  RE::ProcessLists* processLists = nullptr;
};

// Re-resolves the cache (held in the plug-in's state) and returns the UI singleton.
RE::UI* RefreshGameObjectCache();
