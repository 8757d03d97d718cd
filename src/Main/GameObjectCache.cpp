#include "Main/GameObjectCache.h"

#include "RE/IDs.h"
#include "REL/ID.h"

GameObjectCacheRecord GameObjectCache;

RE::UI* RefreshGameObjectCache() {
  for (std::size_t city = 1; city < kCityLocationFormIDs.size(); ++city) {
    auto* form = RE::LookupFormByID(kCityLocationFormIDs[city]);
    GameObjectCache.locations[city] = static_cast<RE::BGSLocation*>(form);
  }

  auto* vmHolder = RE::GameVM::GetSingleton();
  GameObjectCache.vm = vmHolder ? vmHolder->impl : nullptr;
  GameObjectCache.processLists = RE::ProcessLists::GetSingleton();

  static auto* const playerSingleton =
      reinterpret_cast<RE::PlayerCharacter**>(REL::ResolveAddressLibraryID(RE::ID::PlayerCharacter));
  GameObjectCache.player = *playerSingleton;

  static auto* const uiSingleton = reinterpret_cast<RE::UI**>(REL::ResolveAddressLibraryID(RE::ID::UI));
  return *uiSingleton;
}
