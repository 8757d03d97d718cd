#include "Main/Cities/ActiveCity.h"

#include "Main/Game/GameObjectCache.h"

std::optional<City> ActiveCity() noexcept {
  for (const City city : kCities) {
    const RE::BGSLocation* location = CachedCityLocation(city);
    if (location && location->loadedCount > 0) return city;
  }
  return std::nullopt;
}
