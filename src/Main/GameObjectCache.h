#pragma once
#include "Helpers/Relaxed.h"
#include "Main/Cities.h"
#include "RE/B/BGSLocation.h"
#include "RE/G/GameVM.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/P/ProcessLists.h"
#include "RE/U/UI.h"

// Game objects the plug-in reads often, re-resolved by RefreshGameObjectCache on whichever thread
// a load, reset or the console runs, while the game's threads read them.
struct GameObjectCacheRecord {
  PerCity<Relaxed<RE::BGSLocation*>> locations{};
  Relaxed<RE::PlayerCharacter*> player = nullptr;
  Relaxed<RE::BSScript::IVirtualMachine*> vm = nullptr;
  Relaxed<RE::ProcessLists*> processLists = nullptr;
};

// Re-resolves the cache (held in the plug-in's state) and returns the UI singleton.
RE::UI* RefreshGameObjectCache();
