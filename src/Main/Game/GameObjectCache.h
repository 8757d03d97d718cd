#pragma once
// Game objects the plug-in reads often, re-resolved by RefreshGameObjectCache on whichever thread a
// load, reset or the console runs, while the game's threads read them.
#include <cstdint>

#include "Main/Game/Cities.h"
#include "RE/B/BGSLocation.h"
#include "RE/G/GameVM.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/P/ProcessLists.h"
#include "RE/U/UI.h"

// Re-resolves the cache and returns the UI singleton.
RE::UI* RefreshGameObjectCache();
// Null until the first refresh, and afterwards for what the game did not have.
RE::BGSLocation* CachedCityLocation(City city) noexcept;
RE::PlayerCharacter* CachedPlayer() noexcept;
RE::BSScript::IVirtualMachine* CachedVirtualMachine() noexcept;
RE::ProcessLists* CachedProcessLists() noexcept;
// Everything null again, as before the first refresh.
void ForgetGameObjectCache() noexcept;

// The game executable's module handle, taken at load. Code that runs without the host (the in-process
// tests) falls back to the same call.
void SetGameModuleBase(std::uintptr_t base) noexcept;
std::uintptr_t GameModuleBase() noexcept;
