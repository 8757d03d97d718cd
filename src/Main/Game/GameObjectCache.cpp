#include "Main/Game/GameObjectCache.h"

#include <windows.h>

#include "Helpers/Relaxed.h"
#include "RE/IDs.h"
#include "REL/ID.h"

namespace {

struct Cache {
  PerCity<Relaxed<RE::BGSLocation*>> locations{};
  Relaxed<RE::PlayerCharacter*> player = nullptr;
  Relaxed<RE::BSScript::IVirtualMachine*> vm = nullptr;
  Relaxed<RE::ProcessLists*> processLists = nullptr;
};
Cache cache;
Relaxed<std::uintptr_t> gameModuleBase = 0;

}  // namespace

RE::UI* RefreshGameObjectCache() {
  for (const auto& city : kCityTable)
    cache.locations[city.city] = static_cast<RE::BGSLocation*>(RE::LookupFormByID(city.locationFormID));

  auto* vmHolder = RE::GameVM::GetSingleton();
  cache.vm = vmHolder ? vmHolder->impl : nullptr;
  cache.processLists = RE::ProcessLists::GetSingleton();

  static auto* const playerSingleton =
      reinterpret_cast<RE::PlayerCharacter**>(REL::ResolveAddressLibraryID(RE::ID::PlayerCharacter));
  cache.player = *playerSingleton;

  static auto* const uiSingleton = reinterpret_cast<RE::UI**>(REL::ResolveAddressLibraryID(RE::ID::UI));
  return *uiSingleton;
}

RE::BGSLocation* CachedCityLocation(City city) noexcept { return cache.locations[city]; }
RE::PlayerCharacter* CachedPlayer() noexcept { return cache.player; }
RE::BSScript::IVirtualMachine* CachedVirtualMachine() noexcept { return cache.vm; }
RE::ProcessLists* CachedProcessLists() noexcept { return cache.processLists; }

void ForgetGameObjectCache() noexcept {
  for (const auto city : kCities) cache.locations[city] = nullptr;
  cache.player = nullptr;
  cache.vm = nullptr;
  cache.processLists = nullptr;
}

void SetGameModuleBase(std::uintptr_t base) noexcept { gameModuleBase = base; }

std::uintptr_t GameModuleBase() noexcept {
  const std::uintptr_t base = gameModuleBase;
  return base ? base : reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
}
