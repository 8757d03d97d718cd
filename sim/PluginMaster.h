#pragma once
// The forms of the plug-in's master file QuillmereLight.esm, as its game data defines them: per city
// the citizen list with the game's own entries, the two outfit lists, the female/male ratio global,
// the citizen keyword, two dummy NPCs and two condition holders whose dummy entries carry conditions.
#include <cstdint>

#include "RE/B/BGSKeyword.h"
#include "RE/T/TESDataHandler.h"
#include "RE/T/TESGlobal.h"
#include "RE/T/TESLeveledList.h"
#include "RE/T/TESNPC.h"

namespace RE {
// The sim's conditions: which sex's share they admit, read from the city's ratio global.
struct TESCondition {
  enum class Kind : std::uint32_t { kFemaleRatio, kMaleRatio, kFemaleOutfit, kMaleOutfit } kind;
  TESGlobal* global;
};
}  // namespace RE

namespace sim {

struct CityMasterForms {
  RE::TESLevCharacter* citizenList;
  RE::TESLevItem* femaleOutfitList;
  RE::TESLevItem* maleOutfitList;
  RE::TESGlobal* ratioGlobal;
  RE::BGSKeyword* citizenKeyword;
  RE::TESNPC* femaleDummy;
  RE::TESNPC* maleDummy;
  RE::TESLevCharacter* ratioHolder;
  RE::TESLevCharacter* outfitHolder;
};

void CreatePluginMasterForms(const RE::TESFile& master);
// City 1 to 4.
const CityMasterForms& MasterForms(int city);

// A fresh entry array in the game's heap for a sim list.
void SetListEntries(RE::TESLeveledList& list, std::initializer_list<RE::LEVELED_OBJECT> entries);

}  // namespace sim
