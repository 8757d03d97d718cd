#pragma once
// Generated citizens, spawned from a city's citizen list as the game does it.
#include <cstdint>
#include <random>
#include <vector>

#include "RE/P/PlayerCharacter.h"
#include "RE/T/TESLeveledList.h"
#include "RE/T/TESNPC.h"

namespace sim {

struct Citizen {
  int city;
  RE::Actor* actor;
  RE::TESNPC* face;       // the face the citizen wears
  bool female;            // from that face
  RE::TESForm* clothing;  // from the sex's outfit list; null when it is empty
};

// One pick from a leveled list: one roll from 0 to 99 decides which conditioned entries pass
// (female ratio entries below the city's global, male ratio entries otherwise; entries without a
// condition always pass), then the pick is uniform among those that pass. Null when none passes.
RE::TESForm* PickFromList(const RE::TESLeveledList& list, std::mt19937& random);

// Spawns count citizens in city (1 to 4) from its citizen list.
void SpawnCitizens(int city, int count, std::mt19937& random);
const std::vector<Citizen>& Citizens();

// Whether the game sees the keyword on the reference (a citizen carries its city's keyword).
bool ReferenceHasKeyword(const RE::TESObjectREFR* reference, const RE::TESForm* keyword);

}  // namespace sim
