#include "Main/ActiveCity.h"

#include "Main/GameObjectCache.h"
#include "Main/PluginState.h"
#include "Main/Cities.h"
#include "Main/LocationData.h"

int GetActiveLocationIndex() noexcept {
  for (const int city : kCityIndices) {
    const RE::BGSLocation* location = PluginState.GameObjectCache.locations[static_cast<City>(city)];
    if (location && location->loadedCount > 0) return city;
  }
  return 0;
}
