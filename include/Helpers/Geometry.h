#pragma once
// Distances in the game's world.
#include <cmath>

#include "RE/N/NiPoint3.h"

inline float DistanceBetween(const RE::NiPoint3& a, const RE::NiPoint3& b) noexcept {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}
