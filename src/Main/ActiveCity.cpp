#include "Main/ActiveCity.h"

#include "Main/GameObjectCache.h"
#include "Main/LocationData.h"

int GetActiveLocationIndex() noexcept {
  for (int city = kFirstLocationIndex; city <= kLastLocationIndex; ++city) {
    const auto* location = GameObjectCache.locations[static_cast<std::size_t>(city)];
    if (location && location->loadedCount > 0) return city;
  }
  return 0;
}
