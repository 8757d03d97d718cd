#include "Main/GameObjectCache.h"

#include "Main/PluginState.h"
#include "RE/IDs.h"
#include "REL/ID.h"

RE::UI* RefreshGameObjectCache() {
  auto& cache = PluginState.GameObjectCache;
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
